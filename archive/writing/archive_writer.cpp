// Tagged-layout archive writer.
#include "archive/writing/archive_writer.h"

#include <vector>

#include "archive/container.h"
#include "archive/little_endian.h"

namespace {

const uint8_t kTaggedLayoutTag = 0x02;
// The largest piece handed to one write; the file interface counts in int32.
const size_t kLargestWrite = size_t{1} << 30;

// Writes all of bytes; false if the file took fewer.
bool WriteAll(BinaryFile* output, const uint8_t* bytes, size_t count) {
  while (count > 0) {
    size_t piece = count < kLargestWrite ? count : kLargestWrite;
    int32_t written = WriteBinaryFile(output, bytes, static_cast<int32_t>(piece));
    if (written != static_cast<int32_t>(piece)) {
      return false;
    }
    bytes += piece;
    count -= piece;
  }
  return true;
}

}  // namespace

bool BeginArchiveWriter(ArchiveWriter* writer, BinaryFile* output, std::string* error) {
  writer->output = output;
  writer->archiveSize = 0;
  writer->entryCount = 0;
  writer->failed = false;
  if (!IsBinaryFileOpen(output)) {
    writer->failed = true;
    *error = "the archive file is not open";
    return false;
  }
  if (BinaryFileLength(output) != 0) {
    writer->failed = true;
    *error = "the archive file is not empty";
    return false;
  }
  return true;
}

bool CheckEntryName(const std::string& name, std::string* error) {
  if (name.empty()) {
    *error = "an entry name cannot be empty";
    return false;
  }
  if (name.size() > static_cast<size_t>(kMaxEntryNameLength)) {
    *error = "entry name \"" + name + "\" is " + std::to_string(name.size()) +
             " bytes long; entry names hold at most " + std::to_string(kMaxEntryNameLength) +
             " bytes";
    return false;
  }
  return true;
}

bool WriteArchiveEntry(ArchiveWriter* writer, const std::string& name, const uint8_t* data,
                       size_t length, CompressProgressCallback onProgress, void* context,
                       std::string* error) {
  if (writer->failed) {
    *error = "the archive could not be written; no further entries are added";
    return false;
  }
  if (!CheckEntryName(name, error)) {
    return false;
  }
  if (length >= static_cast<size_t>(kArchiveSizeLimit)) {
    *error = "entry \"" + name + "\" holds " + std::to_string(length) +
             " bytes; entries must stay below 2 GiB (" + std::to_string(kArchiveSizeLimit) +
             " bytes)";
    return false;
  }

  std::vector<uint8_t> packed;
  CompressBytes(data, length, &packed, onProgress, context);

  int64_t entrySize =
      kTaggedHeaderSize + static_cast<int64_t>(name.size()) + static_cast<int64_t>(packed.size());
  if (writer->archiveSize + entrySize >= kArchiveSizeLimit) {
    *error = "entry \"" + name + "\" would make the archive " +
             std::to_string(writer->archiveSize + entrySize) +
             " bytes long; archives must stay below 2 GiB (" + std::to_string(kArchiveSizeLimit) +
             " bytes)";
    return false;
  }

  uint8_t head[kTaggedHeaderSize + kMaxEntryNameLength];
  head[0] = kTaggedLayoutTag;
  head[1] = static_cast<uint8_t>(name.size() - 1);
  WriteLe32(head + 2, static_cast<uint32_t>(packed.size()));
  WriteLe32(head + 6, static_cast<uint32_t>(length));
  name.copy(reinterpret_cast<char*>(head + kTaggedHeaderSize), name.size());
  if (!WriteAll(writer->output, head, kTaggedHeaderSize + name.size()) ||
      !WriteAll(writer->output, packed.data(), packed.size())) {
    writer->failed = true;
    *error = "writing entry \"" + name + "\" to the archive failed; the archive is incomplete";
    return false;
  }
  writer->archiveSize += entrySize;
  ++writer->entryCount;
  return true;
}

namespace {

// The entry being streamed into the archive: its header goes out once the
// packed size is known.
struct StreamedEntry {
  ArchiveWriter* writer;
  const std::string* name;
  size_t length;
  int64_t entrySize;
  std::string problem;
};

bool BeginStreamedEntry(void* context, int64_t packedSize) {
  StreamedEntry* entry = static_cast<StreamedEntry*>(context);
  ArchiveWriter* writer = entry->writer;
  const std::string& name = *entry->name;
  entry->entrySize = kTaggedHeaderSize + static_cast<int64_t>(name.size()) + packedSize;
  if (writer->archiveSize + entry->entrySize >= kArchiveSizeLimit) {
    entry->problem = "entry \"" + name + "\" would make the archive " +
                     std::to_string(writer->archiveSize + entry->entrySize) +
                     " bytes long; archives must stay below 2 GiB (" +
                     std::to_string(kArchiveSizeLimit) + " bytes)";
    return false;
  }
  uint8_t head[kTaggedHeaderSize + kMaxEntryNameLength];
  head[0] = kTaggedLayoutTag;
  head[1] = static_cast<uint8_t>(name.size() - 1);
  WriteLe32(head + 2, static_cast<uint32_t>(packedSize));
  WriteLe32(head + 6, static_cast<uint32_t>(entry->length));
  name.copy(reinterpret_cast<char*>(head + kTaggedHeaderSize), name.size());
  // From the first byte on, a failure leaves the archive incomplete.
  writer->failed = true;
  return WriteAll(writer->output, head, kTaggedHeaderSize + name.size());
}

bool WriteStreamedPiece(void* context, const uint8_t* bytes, size_t count) {
  return WriteAll(static_cast<StreamedEntry*>(context)->writer->output, bytes, count);
}

}  // namespace

bool WriteStreamedArchiveEntry(ArchiveWriter* writer, const std::string& name,
                               const InputStream& input, CompressProgressCallback onProgress,
                               void* context, std::string* error) {
  if (writer->failed) {
    *error = "the archive could not be written; no further entries are added";
    return false;
  }
  if (!CheckEntryName(name, error)) {
    return false;
  }
  if (input.length >= static_cast<size_t>(kArchiveSizeLimit)) {
    *error = "entry \"" + name + "\" holds " + std::to_string(input.length) +
             " bytes; entries must stay below 2 GiB (" + std::to_string(kArchiveSizeLimit) +
             " bytes)";
    return false;
  }
  StreamedEntry entry = {writer, &name, input.length, 0, std::string()};
  StreamOutput output = {BeginStreamedEntry, WriteStreamedPiece, &entry};
  std::string streamError;
  if (!CompressStream(input, kStreamBlockSize, output, onProgress, context, &streamError)) {
    *error = !entry.problem.empty() ? entry.problem
             : writer->failed       ? "writing entry \"" + name + "\" to the archive failed (" +
                                    streamError + "); the archive is incomplete"
                              : streamError;
    return false;
  }
  writer->failed = false;
  writer->archiveSize += entry.entrySize;
  ++writer->entryCount;
  return true;
}
