// eek pack: compresses the inputs into a new archive. The archive is written to
// a temporary file beside its final name and renamed into place only when
// complete, so a failed pack never leaves a partial archive behind.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "archive/archive_writer.h"
#include "tools/eek/buffered_file.h"
#include "tools/eek/commands.h"
#include "tools/eek/host_platform.h"
#include "tools/eek/messages.h"
#include "tools/eek/pack_inputs.h"
#include "tools/eek/progress_bar.h"

namespace fs = std::filesystem;

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

bool CheckArchivePath(const std::string& archivePath, const std::vector<PackInput>& files) {
  std::error_code error;
  if (fs::is_directory(archivePath, error)) {
    ReportProblem(archivePath + ": is a folder");
    return false;
  }
  if (!fs::exists(archivePath, error)) {
    return true;
  }
  for (const PackInput& file : files) {
    if (fs::equivalent(file.path, archivePath, error)) {
      ReportProblem(file.path + ": is the archive being written");
      return false;
    }
  }
  return true;
}

}  // namespace

int RunPackCommand(const std::string& archivePath, const std::vector<std::string>& inputs) {
  std::vector<PackInput> files;
  if (!CollectPackInputs(inputs, &files) || !CheckArchivePath(archivePath, files)) {
    return 1;
  }
  std::string tempPath;
  std::string error;
  int fd = CreateTempFileBeside(archivePath, &tempPath, &error);
  if (fd < 0) {
    ReportProblem(archivePath + ": cannot create the archive: " + error);
    return 1;
  }
  RemoveFileOnInterrupt(tempPath);
  BufferedFile buffered;
  BinaryFile archive;
  AttachBufferedWriter(&buffered, fd, &archive);
  PackProgress progress;
  int64_t totalSize = 0;
  for (const PackInput& file : files) {
    totalSize += file.size;
  }
  StartProgressBar(&progress.bar, "packing", totalSize);
  int64_t archiveSize = 0;
  bool written = false;
  try {
    written = WriteEntries(files, &archive, &progress, &archiveSize);
  } catch (...) {
    CloseBinaryFile(&archive);
    std::remove(tempPath.c_str());
    RemoveFileOnInterrupt(std::string());
    throw;
  }
  EndProgressBar(&progress.bar);
  CloseBinaryFile(&archive);
  if (written && buffered.failed) {
    ReportProblem(archivePath + ": " + buffered.error);
    written = false;
  }
  if (written && !ReplaceFileWith(tempPath, archivePath, &error)) {
    ReportProblem(archivePath + ": " + error);
    written = false;
  }
  if (!written) {
    std::remove(tempPath.c_str());
  }
  RemoveFileOnInterrupt(std::string());
  if (!written) {
    return 1;
  }
  std::printf("%s: %zu %s, %lld bytes packed into %lld bytes\n", archivePath.c_str(), files.size(),
              files.size() == 1 ? "entry" : "entries", static_cast<long long>(totalSize),
              static_cast<long long>(archiveSize));
  return 0;
}
