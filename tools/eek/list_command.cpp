// eek list: one line per entry and a total.
#include <cstdio>

#include "archive/decoder.h"
#include "tools/eek/archive_check.h"
#include "tools/eek/code_page.h"
#include "tools/eek/commands.h"
#include "tools/eek/messages.h"

namespace {

std::string FormatRatio(int64_t packed, int64_t unpacked) {
  if (unpacked <= 0) {
    return "-";
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f%%", 100.0 * static_cast<double>(packed) / unpacked);
  return text;
}

void PrintLine(int64_t packed, int64_t unpacked, const std::string& name) {
  std::printf("%12lld %12lld %7s  %s\n", static_cast<long long>(packed),
              static_cast<long long>(unpacked), FormatRatio(packed, unpacked).c_str(),
              name.c_str());
}

}  // namespace

int RunListCommand(const std::string& archivePath, const std::string& shownName) {
  const std::string& shown = shownName.empty() ? archivePath : shownName;
  OpenArchive archive;
  if (!OpenArchiveForWalk(archivePath, &archive)) {
    return 1;
  }
  std::printf("%12s %12s %7s  %s\n", "packed", "unpacked", "ratio", "name");
  int64_t totalPacked = 0;
  int64_t totalUnpacked = 0;
  int32_t listed = 0;
  std::string damage;
  ArchiveEntry entry;
  BufferedFile sink;
  while (damage.empty() && ReadNextEntry(&archive.walk, &entry)) {
    damage = FindHeaderDamage(archive, entry);
    if (!damage.empty()) {
      damage = DescribeEntry(archive, entry) + ": " + damage;
      break;
    }
    int64_t unpacked = entry.unpackedSize;
    if (archive.walk.layout == kFixedLayout) {
      // The fixed layout does not record the unpacked size: decode to learn it.
      BinaryFile output;
      AttachCountingSink(&sink, &output);
      DecompressEntry(&archive.file, entry.dataStart, entry.dataEnd, &output, nullptr, nullptr);
      unpacked = sink.bytesWritten;
    }
    int64_t packed = entry.dataEnd - entry.dataStart;
    PrintLine(packed, unpacked, ShownName(TargetName(archive, entry)));
    totalPacked += packed;
    totalUnpacked += unpacked;
    listed++;
  }
  if (damage.empty()) {
    damage = FindWalkEndDamage(archive);
  }
  bool readFailed = archive.buffered.failed;
  std::string readError = archive.buffered.error;
  CloseArchive(&archive);
  std::string entries = std::to_string(listed) + (listed == 1 ? " entry" : " entries");
  PrintLine(totalPacked, totalUnpacked, "total: " + entries);
  std::fflush(stdout);
  if (readFailed) {
    ReportProblem(shown + ": " + readError);
    return 1;
  }
  if (!damage.empty()) {
    ReportProblem(shown + ": " + damage);
    return 1;
  }
  return 0;
}
