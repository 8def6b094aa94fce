// An installer's payload copied out for the archive commands.
#include "tools/eek/installer_payload.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "peimage/pe_image.h"
#include "peimage/resource_reader.h"
#include "tools/eek/host_path.h"
#include "tools/eek/host_platform.h"
#include "tools/eek/messages.h"
#include "tools/eek/payload_check_resource.h"
#include "tools/eek/whole_file.h"

const int64_t kInstallerSizeLimit = (int64_t{1} << 31) + (int64_t{256} << 20);

namespace {

bool StartsWithMz(const std::string& path) {
  std::string error;
  int fd = OpenInputFile(path, &error);
  if (fd < 0) {
    return false;  // the command reports it
  }
  uint8_t head[2] = {0, 0};
  bool mz = ReadFileBytes(fd, head, 2) == 2 && head[0] == 'M' && head[1] == 'Z';
  CloseFile(fd);
  return mz;
}

// Reads the executable and finds its payload; false after reporting. A check
// record that the payload does not match (the installer would refuse it) is
// told in checkProblem.
bool ReadPayload(const std::string& path, std::vector<uint8_t>* payload,
                 std::string* checkProblem) {
  std::vector<uint8_t> bytes;
  if (!ReadFileWhole(path, kInstallerSizeLimit, "too large for an installer", &bytes)) {
    return false;
  }
  std::string error;
  PeImage image;
  PeResourceTree tree;
  if (!ParsePeImage(std::move(bytes), &image, &error) || !ReadResourceTree(image, &tree, &error)) {
    ReportProblem(path + ": " + error);
    return false;
  }
  int index = FindPeResource(tree, NumberedResourceId(kResourceTypeRcData), NumberedResourceId(10));
  if (index < 0) {
    ReportProblem(path + ": an executable without a payload (no RCDATA 10 resource)");
    return false;
  }
  PayloadCheckReport check = DescribePayloadCheck(tree, tree.resources[index].data);
  UseRecordedCodePage(check);
  *checkProblem = check.problem;
  *payload = std::move(tree.resources[index].data);
  return true;
}

}  // namespace

int RunOnPayloadCopy(const std::vector<uint8_t>& payload, const std::string& shownName,
                     const std::function<int(const std::string& archivePath,
                                             const std::string& shownName)>& command) {
  std::error_code fsError;
  std::filesystem::path tempFolder = std::filesystem::temp_directory_path(fsError);
  std::string tempPath;
  std::string error;
  int fd = fsError ? -1
                   : CreateTempFileBeside(HostPathText(tempFolder / "eek-payload.eek"), &tempPath,
                                          &error);
  if (fd < 0) {
    ReportProblem("cannot create a temporary copy of the payload: " +
                  (fsError ? fsError.message() : error));
    return 1;
  }
  RemoveFileOnInterrupt(tempPath);
  int64_t size = static_cast<int64_t>(payload.size());
  bool copied = WriteFileBytes(fd, payload.data(), size) == size;
  error = LastErrorText();
  copied = CloseFile(fd) && copied;
  int status = 1;
  if (!copied) {
    ReportProblem(tempPath + ": " + error);
  } else {
    status = command(tempPath, shownName);
  }
  std::remove(tempPath.c_str());
  RemoveFileOnInterrupt(std::string());
  return status;
}

int RunOnArchiveOrInstaller(const std::string& path,
                            const std::function<int(const std::string& archivePath,
                                                    const std::string& shownName)>& command) {
  if (!StartsWithMz(path)) {
    return command(path, std::string());
  }
  std::vector<uint8_t> payload;
  std::string checkProblem;
  if (!ReadPayload(path, &payload, &checkProblem)) {
    return 1;
  }
  // The payload is still read, so that the user sees what it holds.
  if (!checkProblem.empty()) {
    ReportProblem(path + ": " + checkProblem);
  }
  int status = RunOnPayloadCopy(payload, path + " (payload)", command);
  if (!checkProblem.empty()) {
    status = std::max(status, 1);
  }
  return status;
}
