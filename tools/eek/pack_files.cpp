// Packing input files into an archive through the archive writer.
#include "tools/eek/pack_files.h"

#include <string>

#include "archive/writing/archive_writer.h"
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

// An input file read in blocks by the streamed compression.
struct InputFile {
  int fd;
  bool failed;
};

bool ReadInputAt(void* context, int64_t position, uint8_t* bytes, size_t count) {
  InputFile* file = static_cast<InputFile*>(context);
  int64_t wanted = static_cast<int64_t>(count);
  if (!SeekFile(file->fd, position) || ReadFileBytes(file->fd, bytes, wanted) != wanted) {
    file->failed = true;
    return false;
  }
  return true;
}

// Compresses one file into the archive, reading it twice a block at a time;
// false after reporting the problem.
bool PackFile(ArchiveWriter* writer, const PackInput& input, PackProgress* progress) {
  std::string error;
  InputFile file = {OpenInputFile(input.path, &error), false};
  if (file.fd < 0) {
    ReportProblem(input.path + ": " + error);
    return false;
  }
  progress->fileDone = 0;
  InputStream stream = {ReadInputAt, &file, static_cast<size_t>(input.size)};
  bool written = WriteStreamedArchiveEntry(writer, input.storedName, stream, CountCompressed,
                                           progress, &error);
  if (written && FileSize(file.fd) != input.size) {
    written = false;
    error = "the file changed while it was packed";
  } else if (!written && file.failed) {
    error = "the file changed while it was packed, or could not be read: " + LastErrorText();
  }
  CloseFile(file.fd);
  if (!written) {
    ReportProblem(input.path + ": " + error);
  }
  return written;
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
  for (const PackInput& file : files) {
    // Refused before a byte is read: a file this large cannot be an entry.
    if (file.size >= kArchiveSizeLimit) {
      ReportProblem(file.path + ": 2 GiB or larger; entries and archives stay below 2 GiB");
      return false;
    }
    if (!PackFile(&writer, file, progress)) {
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
