// Packing input files into an archive through the archive writer.
#include "tools/eek/pack_files.h"

#include <string>

#include "archive/archive_writer.h"
#include "tools/eek/host_platform.h"
#include "tools/eek/messages.h"
#include "tools/eek/progress_bar.h"

namespace {

struct PackProgress {
  ProgressBar bar;
  int64_t fileDone;  // progress already counted for the file being packed
};

void CountCompressed(void* context, size_t bytesDone) {
  PackProgress* progress = static_cast<PackProgress*>(context);
  AdvanceProgressBar(&progress->bar, static_cast<int64_t>(bytesDone) - progress->fileDone);
  progress->fileDone = static_cast<int64_t>(bytesDone);
}

bool ReadWholeFile(const PackInput& input, std::vector<uint8_t>* bytes) {
  std::string error;
  int fd = OpenInputFile(input.path, &error);
  if (fd < 0) {
    ReportProblem(input.path + ": " + error);
    return false;
  }
  bytes->resize(static_cast<size_t>(input.size));
  int64_t got = ReadFileBytes(fd, bytes->data(), input.size);
  uint8_t extra;
  bool grew = got == input.size && ReadFileBytes(fd, &extra, 1) != 0;
  error = got < 0 ? LastErrorText() : "the file changed while it was packed";
  CloseFile(fd);
  if (got != input.size || grew) {
    ReportProblem(input.path + ": " + error);
    return false;
  }
  return true;
}

// Compresses every file into archive; false after reporting the first problem.
bool WriteEntries(const std::vector<PackInput>& files, BinaryFile* archive, PackProgress* progress,
                  int64_t* archiveSize) {
  ArchiveWriter writer;
  std::string error;
  if (!BeginArchiveWriter(&writer, archive, &error)) {
    ReportProblem(error);
    return false;
  }
  std::vector<uint8_t> unpacked;
  for (const PackInput& file : files) {
    // Refused before a byte is read: a file this large cannot be an entry.
    if (file.size >= kArchiveSizeLimit) {
      ReportProblem(file.path + ": 2 GiB or larger; entries and archives stay below 2 GiB");
      return false;
    }
    if (!ReadWholeFile(file, &unpacked)) {
      return false;
    }
    progress->fileDone = 0;
    if (!WriteArchiveEntry(&writer, file.storedName, unpacked.data(), unpacked.size(),
                           CountCompressed, progress, &error)) {
      ReportProblem(file.path + ": " + error);
      return false;
    }
  }
  *archiveSize = writer.archiveSize;
  return true;
}

}  // namespace

bool PackFiles(const std::vector<PackInput>& files, BinaryFile* archive, int64_t* totalSize,
               int64_t* archiveSize) {
  PackProgress progress;
  *totalSize = 0;
  for (const PackInput& file : files) {
    *totalSize += file.size;
  }
  StartProgressBar(&progress.bar, "packing", *totalSize);
  bool written = WriteEntries(files, archive, &progress, archiveSize);
  EndProgressBar(&progress.bar);
  return written;
}
