// Opening an archive for a walk and the checks on its entries' bounds.
#include "tools/eek/archive_check.h"

#include "tools/eek/code_page.h"
#include "tools/eek/host_platform.h"
#include "tools/eek/messages.h"

bool OpenArchiveForWalk(const std::string& path, OpenArchive* archive) {
  std::string error;
  int fd = OpenInputFile(path, &error);
  if (fd < 0) {
    ReportProblem(path + ": " + error);
    return false;
  }
  archive->path = path;
  AttachBufferedReader(&archive->buffered, fd, &archive->file);
  if (archive->buffered.length > INT32_MAX) {
    ReportProblem(path + ": 2 GiB or larger; archives stay below 2 GiB");
    CloseArchive(archive);
    return false;
  }
  BeginArchiveWalk(&archive->walk, &archive->file);
  if (archive->buffered.failed) {
    ReportProblem(path + ": " + archive->buffered.error);
    CloseArchive(archive);
    return false;
  }
  return true;
}

void CloseArchive(OpenArchive* archive) {
  CloseBinaryFile(&archive->file);
}

std::string TargetName(const OpenArchive& archive, const ArchiveEntry& entry) {
  return NormaliseNameInCodePage(TargetCodePage(), entry.storedName, entry.storedNameLength,
                                 archive.walk.layout);
}

std::string DescribeEntry(const OpenArchive& archive, const ArchiveEntry& entry) {
  return "entry " + std::to_string(archive.walk.entriesRead) + " (" +
         ShownName(TargetName(archive, entry)) + ") at position " + std::to_string(entry.position);
}

std::string FindHeaderDamage(const OpenArchive& archive, const ArchiveEntry& entry) {
  int64_t length = archive.walk.archiveLength;
  if (entry.dataStart > length) {
    return "the header is cut off by the end of the archive (truncated)";
  }
  if (entry.dataEnd > length) {
    return "the data runs " + std::to_string(entry.dataEnd - length) +
           " bytes past the end of the archive (truncated)";
  }
  return std::string();
}

std::string FindWalkEndDamage(const OpenArchive& archive) {
  const ArchiveWalk& walk = archive.walk;
  std::string where = "entry " + std::to_string(walk.entriesRead + 1) + " at position " +
                      std::to_string(walk.nextPosition);
  if (walk.damaged) {
    return where + ": damaged header (its sizes would move the walk backwards or past 2 GiB)";
  }
  if (walk.entriesRead > 0 && walk.nextPosition < walk.archiveLength) {
    return where + ": " + std::to_string(walk.archiveLength - walk.nextPosition) +
           " bytes after the last entry were not read";
  }
  return std::string();
}
