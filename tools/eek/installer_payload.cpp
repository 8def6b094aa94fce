// An installer's payload found in its file for the archive commands.
#include "tools/eek/installer_payload.h"

#include <algorithm>
#include <vector>

#include "archive/crc32.h"
#include "contract/installer_contract.h"
#include "peimage/resource_reader.h"
#include "tools/eek/file_descriptor.h"
#include "tools/eek/host_platform.h"
#include "tools/eek/installer_stub.h"
#include "tools/eek/messages.h"

const int64_t kInstallerSizeLimit = kArchiveSizeLimit + kStubSizeLimit;

namespace {

const int64_t kHeadSize = 64 * 1024;
const int64_t kCrcPiece = int64_t{1} << 20;
// Resources up to this size are read into memory (icons, the check record);
// larger ones, the payload above all, stay in the file.
const uint32_t kLargestResourceRead = 1 << 20;

bool ReadAt(int fd, int64_t offset, int64_t size, uint8_t* bytes) {
  return SeekFile(fd, offset) && ReadFileBytes(fd, bytes, size) == size;
}

}  // namespace

bool StartsWithMz(const std::string& path) {
  std::string error;
  FileDescriptor fd(OpenInputFile(path, &error));
  if (!fd.valid()) {
    return false;  // the command reports it
  }
  uint8_t head[2] = {0, 0};
  return ReadFileBytes(fd.get(), head, 2) == 2 && head[0] == 'M' && head[1] == 'Z';
}

bool FindInstallerPayload(const std::string& path, int codePage, InstallerPayload* payload) {
  std::string error;
  FileDescriptor fd(OpenInputFile(path, &error));
  if (!fd.valid()) {
    ReportProblem(path + ": " + error);
    return false;
  }
  int64_t fileSize = FileSize(fd.get());
  if (fileSize < 0) {
    ReportProblem(path + ": " + LastErrorText());
    return false;
  }
  if (fileSize >= kInstallerSizeLimit) {
    ReportProblem(path +
                  ": larger than any installer: a payload below 2 GiB in a stub below 256 MiB");
    return false;
  }
  std::vector<uint8_t> head(static_cast<size_t>(std::min(fileSize, kHeadSize)));
  if (!ReadAt(fd.get(), 0, static_cast<int64_t>(head.size()), head.data())) {
    ReportProblem(path + ": " + LastErrorText());
    return false;
  }
  std::vector<PeResourcePlace> places;
  int readFd = fd.get();
  PeFileRead read = [readFd](uint32_t offset, uint32_t size, uint8_t* bytes) {
    return ReadAt(readFd, offset, size, bytes);
  };
  if (!ParsePeImageHeaders(std::move(head), static_cast<uint64_t>(fileSize), &payload->headers,
                           &error) ||
      !ReadResourceTreeInFile(payload->headers, read, kLargestResourceRead, &payload->tree, &places,
                              &error)) {
    ReportProblem(path + ": " + error);
    return false;
  }
  int index = FindPeResource(payload->tree, NumberedResourceId(kResourceTypeRcData),
                             NumberedResourceId(kPayloadResourceId));
  payload->found = index >= 0;
  if (!payload->found) {
    return true;
  }
  const PeResource& resource = payload->tree.resources[static_cast<size_t>(index)];
  payload->language = resource.language;
  payload->offset = -1;
  for (const PeResourcePlace& place : places) {
    if (place.index == static_cast<size_t>(index)) {
      payload->offset = place.fileOffset;
      payload->size = place.size;
    }
  }
  std::vector<uint8_t> piece;
  payload->crc = 0;
  piece.resize(static_cast<size_t>(std::min(kCrcPiece, std::max<int64_t>(payload->size, 1))));
  for (int64_t done = 0; done < payload->size;) {
    int64_t take = std::min(kCrcPiece, payload->size - done);
    if (!ReadAt(fd.get(), payload->offset + done, take, piece.data())) {
      ReportProblem(path + ": " + LastErrorText());
      return false;
    }
    payload->crc = UpdateCrc32(payload->crc, piece.data(), static_cast<size_t>(take));
    done += take;
  }
  payload->check =
      DescribePayloadCheck(payload->tree, static_cast<uint64_t>(payload->size), payload->crc);
  // The names are read in the code page they were written in, as the
  // installer reads them.
  payload->namesCodePage = NamesCodePage(payload->check, codePage);
  return true;
}

bool ReadInstallerPayload(const std::string& path, int codePage, InstallerPayload* payload) {
  if (!FindInstallerPayload(path, codePage, payload)) {
    return false;
  }
  if (!payload->found) {
    ReportProblem(path + ": an executable without a payload (no RCDATA " +
                  std::to_string(kPayloadResourceId) + " resource)");
  }
  return payload->found;
}

int RunOnArchiveOrInstaller(const std::string& path, int codePage,
                            const std::function<int(const ArchiveSource& source)>& command) {
  if (!StartsWithMz(path)) {
    return command(WholeFileSource(path, codePage));
  }
  InstallerPayload payload;
  if (!ReadInstallerPayload(path, codePage, &payload)) {
    return 1;
  }
  // The payload is still read, so that the user sees what it holds.
  if (!payload.check.problem.empty()) {
    ReportProblem(path + ": " + payload.check.problem);
  }
  ArchiveSource source{path, payload.offset, payload.size,         path + " (payload)",
                       path, &payload,       payload.namesCodePage};
  int status = command(source);
  if (!payload.check.problem.empty()) {
    status = std::max(status, 1);
  }
  return status;
}
