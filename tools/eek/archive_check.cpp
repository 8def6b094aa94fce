// Opening an archive for a walk and the checks on its entries' bounds.
#include "tools/eek/archive_check.h"

#include "contract/installer_contract.h"
#include "tools/eek/code_page.h"
#include "tools/eek/host_platform.h"
#include "tools/eek/messages.h"

ArchiveSource WholeFileSource(const std::string& path, int codePage) {
  return ArchiveSource{path, 0, -1, path, std::string(), nullptr, codePage};
}

namespace {

bool BeginWalk(int fd, bool keepOpen, const ArchiveSource& source, OpenArchive* archive) {
  archive->path = source.path;
  archive->codePage = source.codePage;
  AttachBufferedReader(&archive->buffered, fd, &archive->file, source.offset, source.length);
  archive->buffered.keepOpen = keepOpen;
  if (archive->buffered.length >= kArchiveSizeLimit) {
    ReportProblem(source.shown + ": 2 GiB or larger; archives stay below 2 GiB");
    CloseArchive(archive);
    return false;
  }
  BeginArchiveWalk(&archive->walk, &archive->file);
  if (archive->buffered.failed) {
    ReportProblem(source.shown + ": " + archive->buffered.error);
    CloseArchive(archive);
    return false;
  }
  return true;
}

}  // namespace

bool OpenArchiveForWalk(const ArchiveSource& source, OpenArchive* archive) {
  std::string error;
  int fd = OpenInputFile(source.path, &error);
  if (fd < 0) {
    ReportProblem(source.shown + ": " + error);
    return false;
  }
  return BeginWalk(fd, false, source, archive);
}

bool BeginWalkOfOpenFile(int fd, const std::string& shown, int codePage, OpenArchive* archive) {
  ArchiveSource source = WholeFileSource(shown, codePage);
  return BeginWalk(fd, true, source, archive);
}

void CloseArchive(OpenArchive* archive) {
  CloseBinaryFile(&archive->file);
}

std::string TargetName(const OpenArchive& archive, const ArchiveEntry& entry) {
  return UpperCaseNameInCodePage(archive.codePage, entry.trimmedName);
}

int64_t CountDecodedBytes(OpenArchive* archive, const ArchiveEntry& entry, EntryDecoder* decoder) {
  BeginEntryDecoding(decoder, &archive->file, entry.dataStart, entry.dataEnd, nullptr, nullptr);
  int64_t produced = 0;
  const uint8_t* piece = nullptr;
  while (int32_t length = DecodeNextPiece(decoder, &piece)) {
    produced += length;
  }
  return produced;
}

std::string DescribeEntry(const OpenArchive& archive, const ArchiveEntry& entry) {
  return "entry " + std::to_string(archive.walk.entriesRead) + " (" +
         ShownName(archive.codePage, TargetName(archive, entry)) + ") at position " +
         std::to_string(entry.position);
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
