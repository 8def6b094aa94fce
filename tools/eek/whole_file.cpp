#include "tools/eek/whole_file.h"

#include <cstdio>

#include "tools/eek/host_platform.h"
#include "tools/eek/messages.h"
#include "tools/eek/output_file.h"

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
  OutputFile output;
  std::string error;
  if (!OpenOutputFile(path, &output, &error)) {
    ReportProblem(path + ": " + error);
    return false;
  }
  if (WriteFileBytes(output.file.fd.get(), data, size) != size) {
    ReportProblem(path + ": write failed: " + LastErrorText());
    AbandonOutputFile(&output);
    return false;
  }
  if (!CommitOutputFile(&output, &error)) {
    ReportProblem(path + ": " + error);
    return false;
  }
  return true;
}
