#include "tools/eek/file_replacement.h"

#include <cstdio>

#include "tools/eek/host_platform.h"
#include "tools/eek/messages.h"

bool WriteFileReplacing(const std::string& path, const uint8_t* data, int64_t size) {
  std::string tempPath;
  std::string error;
  int fd = CreateTempFileBeside(path, &tempPath, &error);
  if (fd < 0) {
    ReportProblem(path + ": " + error);
    return false;
  }
  RemoveFileOnInterrupt(tempPath);
  bool written = WriteFileBytes(fd, data, size) == size;
  error = LastErrorText();
  if (!CloseFile(fd) && written) {
    written = false;
    error = LastErrorText();
  }
  if (written && !ReplaceFileWith(tempPath, path, &error)) {
    written = false;
  }
  if (!written) {
    ReportProblem(path + ": " + error);
    std::remove(tempPath.c_str());
  }
  RemoveFileOnInterrupt(std::string());
  return written;
}
