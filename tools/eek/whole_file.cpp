#include "tools/eek/whole_file.h"

#include <cstdio>

#include "tools/eek/host_platform.h"
#include "tools/eek/messages.h"

bool ReadFileWhole(const std::string& path, int64_t sizeLimit, const std::string& limitText,
                   std::vector<uint8_t>* bytes) {
  std::string error;
  int fd = OpenInputFile(path, &error);
  if (fd < 0) {
    ReportProblem(path + ": " + error);
    return false;
  }
  int64_t size = FileSize(fd);
  if (size < 0 || size >= sizeLimit) {
    ReportProblem(path + ": " + (size < 0 ? LastErrorText() : limitText));
    CloseFile(fd);
    return false;
  }
  bytes->resize(static_cast<size_t>(size));
  int64_t got = ReadFileBytes(fd, bytes->data(), size);
  error = got < 0 ? LastErrorText() : "the file changed while it was read";
  CloseFile(fd);
  if (got != size) {
    ReportProblem(path + ": " + error);
    return false;
  }
  return true;
}

bool WriteFileReplacing(const std::string& path, const uint8_t* data, int64_t size) {
  return WriteFileReplacingBy(path, [&](int fd, const std::string&, std::string* error) {
    if (WriteFileBytes(fd, data, size) != size) {
      *error = LastErrorText();
      return false;
    }
    return true;
  });
}

bool WriteFileReplacingBy(
    const std::string& path,
    const std::function<bool(int fd, const std::string& writtenPath, std::string* error)>& write) {
  std::string tempPath;
  std::string error;
  int fd = CreateTempFileBeside(path, &tempPath, &error);
  if (fd < 0) {
    ReportProblem(path + ": " + error);
    return false;
  }
  RemoveFileOnInterrupt(tempPath);
  bool written = write(fd, tempPath, &error);
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
