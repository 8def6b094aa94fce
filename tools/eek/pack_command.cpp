// eek pack: compresses the inputs into a new archive. The archive is written to
// a temporary file beside its final name and renamed into place only when
// complete, so a failed pack never leaves a partial archive behind.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tools/eek/buffered_file.h"
#include "tools/eek/commands.h"
#include "tools/eek/host_path.h"
#include "tools/eek/host_platform.h"
#include "tools/eek/messages.h"
#include "tools/eek/pack_files.h"
#include "tools/eek/pack_inputs.h"

namespace fs = std::filesystem;

namespace {

bool CheckArchivePath(const std::string& archivePath, const std::vector<PackInput>& files) {
  std::error_code error;
  if (fs::is_directory(HostPath(archivePath), error)) {
    ReportProblem(archivePath + ": is a folder");
    return false;
  }
  if (!fs::exists(HostPath(archivePath), error)) {
    return true;
  }
  for (const PackInput& file : files) {
    if (fs::equivalent(HostPath(file.path), HostPath(archivePath), error)) {
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
  int64_t totalSize = 0;
  int64_t archiveSize = 0;
  bool written = false;
  try {
    written = PackFiles(files, &archive, &totalSize, &archiveSize);
  } catch (...) {
    CloseBinaryFile(&archive);
    std::remove(tempPath.c_str());
    RemoveFileOnInterrupt(std::string());
    throw;
  }
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
