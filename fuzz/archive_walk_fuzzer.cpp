// Fuzz target: the fuzz input is a whole archive. It is walked entry by entry
// and every entry decoded into memory, as the installer's extraction does,
// with the entries that have a safe name stored in an in-memory destination
// folder. Checked against the reference walk and decoders, besides the
// sanitizers:
//   - the walk ends, after at most ceil(size / 10) entries: every entry moves
//     it at least 10 bytes on (a header), and an entry is read only while its
//     position lies inside the archive;
//   - each entry's position, sizes and names, and whether the walk ended on a
//     damaged header;
//   - the decoder's reads: one per chunk, at most 2048 bytes, each followed by
//     its callback before anything of the chunk is written; no seek;
//   - the decoder's pieces, written to a file as the extraction writes them:
//     at most 2179 bytes, all but the last 2049 to 2179; the bytes equal
//     those of the reference;
//   - the decoder's report: short reads, cut tokens, copies outside the
//     window and the offset of the first bad token, as the reference finds them;
//   - nothing outside the destination folder changes, and the folder holds
//     exactly the entries with safe names, each with its decoded bytes.
// Every entry is also decoded again from a file that delivers at most a few
// bytes per read, where tokens are split between reads, into an output area
// of the caller's whose size follows from the input; that run is compared
// with the step-by-step reference under the same delivery.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "archive/container.h"
#include "archive/decoder.h"
#include "archive/entry_name.h"
#include "contract/installer_contract.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/recording_file.h"
#include "fuzz/reference_names.h"
#include "texts/installer_texts.h"
#include "tests/reference/reference_decoder.h"
#include "tests/reference/reference_walk.h"

namespace {

const std::string kDestination = std::string("C:") + kInstallFolderName + "\\";
const std::string kOutsideFile = std::string("C:") + kBaseFolderName + "\\" + kTemporaryArchiveName;
const size_t kMaxRead = 2048;
const size_t kMaxWrite = 2179;
const size_t kMinFullWrite = 2049;

typedef std::map<std::string, std::vector<uint8_t>> Folder;

// What the chunk callback sees of the files when it is called.
struct ChunkLog {
  const SourceFile* source;
  const SinkFile* sink;
  size_t readsBefore;  // reads made before the decompression
  std::vector<int32_t> chunks;
  std::vector<size_t> writtenBeforeChunk;
};

void RecordChunk(void* context, int32_t chunkSize) {
  ChunkLog* log = static_cast<ChunkLog*>(context);
  size_t reads = log->source->readRequests.size() - log->readsBefore;
  FUZZ_CHECK(reads == log->chunks.size() + 1, "one read for every chunk callback");
  FUZZ_CHECK(log->source->readRequests.back() == chunkSize, "the callback tells the read's size");
  log->chunks.push_back(chunkSize);
  log->writtenBeforeChunk.push_back(log->sink->bytes.size());
}

// The bound of what a decompression can produce from the bytes it read: a
// copy token of 2 bytes produces at most 131, other tokens less than they take.
size_t OutputBound(size_t delivered) {
  return (delivered + 1) / 2 * 131;
}

void CheckWriteSizes(const std::vector<int32_t>& writes) {
  for (size_t k = 0; k < writes.size(); ++k) {
    size_t size = static_cast<size_t>(writes[k]);
    FUZZ_CHECK(size >= 1 && size <= kMaxWrite, "a write holds 1 to 2179 bytes");
    if (k + 1 < writes.size()) {
      FUZZ_CHECK(size >= kMinFullWrite, "every write but the last holds 2049 to 2179 bytes");
    }
  }
}

// Decodes one entry from source, whose read position stands where the walk
// left it, into the decoder's own output area or one of areaSize bytes, and
// compares the run with the reference run.
std::vector<uint8_t> DecodeAndCompare(SourceFile* source, int64_t dataStart, int64_t dataEnd,
                                      const DecompressionRun& expected, int32_t areaSize = 0) {
  SinkFile sink;
  sink.capacity = OutputBound(source->size);
  BinaryFile output = OpenSinkFile(&sink);
  BinaryFile archive = OpenSourceFile(source);
  ChunkLog log = {source, &sink, source->readRequests.size(), {}, {}};
  int32_t seeksBefore = source->seekCount;
  size_t deliveredBefore = source->deliveredTotal;
  std::vector<uint8_t> area(static_cast<size_t>(areaSize));
  EntryDecoder decoder;
  BeginEntryDecoding(&decoder, &archive, static_cast<int32_t>(dataStart),
                     static_cast<int32_t>(dataEnd), RecordChunk, &log,
                     area.empty() ? nullptr : area.data(), areaSize);
  const uint8_t* piece = nullptr;
  while (int32_t length = DecodeNextPiece(&decoder, &piece)) {
    FUZZ_CHECK(area.empty() || (piece >= area.data() && piece + length <= area.data() + areaSize),
               "a piece lies in the caller's output area");
    WriteBinaryFile(&output, piece, length);
  }
  FUZZ_CHECK(DecodeNextPiece(&decoder, &piece) == 0, "a decoding that has ended stays ended");
  CloseBinaryFile(&output);
  const EntryDecoding& decoding = decoder.decoding;

  std::vector<int32_t> reads(source->readRequests.begin() + log.readsBefore,
                             source->readRequests.end());
  for (int32_t read : reads) {
    FUZZ_CHECK(static_cast<size_t>(read) <= kMaxRead, "a read asks for at most 2048 bytes");
  }
  FUZZ_CHECK(reads == log.chunks, "every read is followed by its callback");
  FUZZ_CHECK(log.chunks == expected.chunks, "chunk sizes as the reference reads them");
  FUZZ_CHECK(log.writtenBeforeChunk == expected.writtenBeforeChunk,
             "the callback comes before the chunk's tokens are decoded");
  FUZZ_CHECK(source->seekCount == seeksBefore, "the decoder reads on without seeking");
  FUZZ_CHECK(source->position == expected.endPosition, "the decoder reads what it asks for");
  CheckWriteSizes(sink.writeSizes);
  FUZZ_CHECK(sink.writeSizes == expected.writes, "write sizes as the reference writes them");
  FUZZ_CHECK(sink.bytes == expected.produced, "the bytes of the reference decoder");
  FUZZ_CHECK(decoding.shortRead == expected.anyReadShort, "a short read is reported");
  FUZZ_CHECK(decoding.cutToken == expected.cutToken, "a cut token is reported");
  FUZZ_CHECK(decoding.copyOutsideWindow == expected.copyOutsideWindow,
             "a copy outside the window is reported");
  FUZZ_CHECK(decoding.problemOffset == expected.problemOffset, "where the first bad token is");
  size_t delivered = source->deliveredTotal - deliveredBefore;
  FUZZ_CHECK(sink.bytes.size() <= OutputBound(delivered), "output bounded by the bytes read");
  return sink.bytes;
}

// A delivery limit of 1 to 257 bytes per read taken from the input, so that
// every input is also decoded with tokens split between reads.
int32_t DeliveryLimitFor(const uint8_t* data, size_t size) {
  uint32_t hash = 2166136261u;
  for (size_t k = 0; k < size; ++k) {
    hash = (hash ^ data[k]) * 16777619u;
  }
  return static_cast<int32_t>(1 + hash % 257);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) {
    return 0;
  }
  const ModelWalk model = WalkArchiveModel(data, size);

  SourceFile source;
  source.bytes = data;
  source.size = size;
  BinaryFile archive = OpenSourceFile(&source);
  ArchiveWalk walk;
  BeginArchiveWalk(&walk, &archive);
  FUZZ_CHECK(walk.layout == model.layout, "the first byte chooses the layout");

  const std::string destination = ResolveJoinedPath(kDestination, "");
  const std::string outsideKey = ResolveJoinedPath(kOutsideFile, "");
  const std::vector<uint8_t> outsideBytes = {'k', 'e', 'e', 'p'};
  Folder folder;
  folder[outsideKey] = outsideBytes;
  Folder expectedFolder;
  expectedFolder[outsideKey] = outsideBytes;

  const size_t maxEntries = (size + 9) / 10;
  size_t count = 0;
  for (;;) {
    ArchiveEntry entry;
    std::memset(&entry, 0xA5, sizeof entry);
    if (!ReadNextEntry(&walk, &entry)) {
      break;
    }
    count += 1;
    FUZZ_CHECK(count <= maxEntries, "at most ceil(size / 10) entries");
    FUZZ_CHECK(count <= model.entries.size(), "no more entries than the reference walk");
    const ModelEntry& expected = model.entries[count - 1];
    FUZZ_CHECK(entry.position == expected.position, "entry position");
    FUZZ_CHECK(entry.position < static_cast<int64_t>(size), "entries start inside the archive");
    FUZZ_CHECK(entry.dataEnd >= entry.position + 10, "every entry moves the walk 10 bytes on");
    FUZZ_CHECK(entry.headerSize == expected.headerSize, "header size");
    FUZZ_CHECK(entry.dataStart == expected.dataStart && entry.dataEnd == expected.dataEnd,
               "data start and end");
    FUZZ_CHECK(entry.unpackedSize == expected.unpackedSize, "unpacked size");
    FUZZ_CHECK(std::string(entry.storedName, static_cast<size_t>(entry.storedNameLength)) ==
                   expected.storedName,
               "stored name");
    FUZZ_CHECK(entry.trimmedNameLength >= 0 && entry.trimmedNameLength <= kMaxEntryNameLength &&
                   entry.trimmedName[entry.trimmedNameLength] == '\0',
               "the name is terminated inside its field");
    const std::string trimmed(entry.trimmedName, static_cast<size_t>(entry.trimmedNameLength));
    FUZZ_CHECK(trimmed == ReferenceTrimName(expected.storedName, model.layout), "trimmed name");
    // The name the installer writes on a code page 1252 system.
    const std::string name = ReferenceUpperCase(trimmed);
    FUZZ_CHECK(entry.cut == expected.cut, "a cut header or name is reported");
    FUZZ_CHECK(source.position == expected.readPosition, "the data is read from its start");

    bool safe =
        IsSafeEntryName(WidenCodePage1252(name.data(), static_cast<int32_t>(name.size())).data(),
                        static_cast<int32_t>(name.size()));
    FUZZ_CHECK(safe == ReferenceIsSafeName(name), "the safe-name rule");
    std::vector<uint8_t> bytes =
        DecodeAndCompare(&source, entry.dataStart, entry.dataEnd, expected.decompression);
    FUZZ_CHECK(bytes == DecodeTokenStream(
                            data + std::min<int64_t>(expected.dataStart, size),
                            static_cast<size_t>(std::min<int64_t>(expected.dataEnd, size) -
                                                std::min<int64_t>(expected.dataStart, size))),
               "whole-stream decoding of the bytes that exist");
    if (safe) {
      folder[ResolveJoinedPath(kDestination, name)] = bytes;
      expectedFolder[destination + "\\" + name] = bytes;
    }
  }
  FUZZ_CHECK(walk.finished, "the walk has ended");
  FUZZ_CHECK(count == model.entries.size(), "as many entries as the reference walk");
  FUZZ_CHECK(walk.damaged == model.damaged, "a damaged header is reported");
  FUZZ_CHECK(walk.truncated == model.truncated, "a cut archive is reported");
  ArchiveEntry after;
  FUZZ_CHECK(!ReadNextEntry(&walk, &after), "an ended walk stays ended");
  FUZZ_CHECK(source.writeCount == 0, "the archive is never written");

  FUZZ_CHECK(folder[outsideKey] == outsideBytes, "nothing outside the folder changes");
  for (const auto& file : folder) {
    if (file.first == outsideKey) {
      continue;
    }
    const std::string& path = file.first;
    FUZZ_CHECK(path.compare(0, destination.size() + 1, destination + "\\") == 0 &&
                   path.find_first_of("\\:", destination.size() + 1) == std::string::npos,
               "every file lies directly in the folder");
  }
  FUZZ_CHECK(folder == expectedFolder, "the folder holds the safe entries' bytes");

  // Tokens split between reads.
  const int32_t limit = DeliveryLimitFor(data, size);
  for (const ModelEntry& entry : model.entries) {
    SourceFile limited;
    limited.bytes = data;
    limited.size = size;
    limited.position = entry.readPosition;
    limited.deliveryLimit = limit;
    DecompressionRun expected = SimulateDecompression(data, size, entry.readPosition,
                                                      entry.dataStart, entry.dataEnd, limit);
    DecodeAndCompare(&limited, entry.dataStart, entry.dataEnd, expected,
                     kMinOutputArea + limit * 13);
  }
  return 0;
}
