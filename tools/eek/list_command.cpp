// eek list: one line per entry and a total; for scripts, the names alone
// (-q) or one JSON line per archive (--json).
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "archive/decoder.h"
#include "tools/eek/archive_check.h"
#include "tools/eek/code_page.h"
#include "tools/eek/commands.h"
#include "tools/eek/installer_payload.h"
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

std::string JsonNumber(int64_t number) {
  return std::to_string(number);
}

// The installer's part of a JSON listing: where the payload lies and what its
// check record says.
std::string JsonInstaller(const ArchiveSource& source) {
  if (source.installer == nullptr) {
    return "null";
  }
  const InstallerPayload& payload = *source.installer;
  return "{\"payloadOffset\":" + JsonNumber(payload.offset) +
         ",\"payloadSize\":" + JsonNumber(payload.size) +
         ",\"payloadCrc32\":" + JsonString(Crc32Text(payload.crc)) +
         ",\"checkRecord\":" + (payload.check.present ? "true" : "false") +
         ",\"checkMatches\":" + (payload.check.problem.empty() ? "true" : "false") +
         ",\"check\":" + JsonString(payload.check.description) + "}";
}

}  // namespace

int RunListCommand(const ArchiveSource& source, const ListOptions& options) {
  const std::string& shown = source.shown;
  OpenArchive archive;
  if (!OpenArchiveForWalk(source, &archive)) {
    return 1;
  }
  bool table = !options.quiet && !options.json;
  std::string jsonEntries;
  if (table) {
    std::printf("%12s %12s %7s  %s\n", "packed", "unpacked", "ratio", "name");
  }
  int64_t totalPacked = 0;
  int64_t totalUnpacked = 0;
  int32_t listed = 0;
  std::string damage;
  ArchiveEntry entry;
  EntryDecoder decoder;
  while (damage.empty() && ReadNextEntry(&archive.walk, &entry)) {
    damage = FindHeaderDamage(archive, entry);
    if (!damage.empty()) {
      damage = DescribeEntry(archive, entry) + ": " + damage;
      break;
    }
    int64_t unpacked = entry.unpackedSize;
    if (archive.walk.layout == kFixedLayout) {
      // The fixed layout does not record the unpacked size: decode to learn it.
      unpacked = CountDecodedBytes(&archive, entry, &decoder);
    }
    int64_t packed = entry.dataEnd - entry.dataStart;
    std::string name = ShownName(archive.codePage, TargetName(archive, entry));
    if (options.json) {
      jsonEntries += std::string(jsonEntries.empty() ? "" : ",") + "{\"name\":" + JsonString(name) +
                     ",\"packed\":" + JsonNumber(packed) + ",\"unpacked\":" + JsonNumber(unpacked) +
                     "}";
    } else if (options.quiet) {
      std::printf("%s\n", name.c_str());
    } else {
      PrintLine(packed, unpacked, name);
    }
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
  if (readFailed && damage.empty()) {
    damage = readError;
  }
  std::string entries = std::to_string(listed) + (listed == 1 ? " entry" : " entries");
  if (table) {
    PrintLine(totalPacked, totalUnpacked, "total: " + entries);
  } else if (options.json) {
    std::printf(
        "{\"archive\":%s,\"installer\":%s,\"entries\":[%s],\"packed\":%s,"
        "\"unpacked\":%s,\"damage\":%s}\n",
        JsonString(source.installerPath.empty() ? source.path : source.installerPath).c_str(),
        JsonInstaller(source).c_str(), jsonEntries.c_str(), JsonNumber(totalPacked).c_str(),
        JsonNumber(totalUnpacked).c_str(), damage.empty() ? "null" : JsonString(damage).c_str());
  }
  std::fflush(stdout);
  if (!damage.empty()) {
    ReportProblem(shown + ": " + damage);
    return 1;
  }
  return 0;
}

Command AddListCommand(CLI::App* app) {
  struct Options {
    std::vector<std::string> archives;
    ListOptions list{false, false};
  };
  auto options = std::make_shared<Options>();
  CLI::App* list = app->add_subcommand("list", "Lists the entries with their sizes");
  list->footer(
      "Lists the entries, one a line: packed size, unpacked size, packed size as a percentage of "
      "the unpacked size (- for an empty file), and the name as the extraction uses it; then a "
      "total line. The unpacked size is the header's for the tagged layout; the fixed layout does "
      "not record it, so those entries are decoded to learn it. -q prints the names alone; "
      "--json prints one JSON object a line for each archive: archive, installer (null, or the "
      "payload's offset, size and CRC-32 and its check record), entries (name, packed, "
      "unpacked), the totals, and damage (null or the problem).");
  list->add_option("ARCHIVE", options->archives, "The archives (or installers) to list")
      ->required();
  CLI::Option* quiet = list->add_flag("-q,--quiet", options->list.quiet, "The names alone");
  list->add_flag("--json", options->list.json, "One JSON object a line per archive")
      ->excludes(quiet);
  return Command{
      list, [options](int codePage) {
        // Every archive in turn; the status is the worst of them.
        int status = 0;
        bool titles = options->archives.size() > 1 && !options->list.quiet && !options->list.json;
        for (const std::string& path : options->archives) {
          if (titles) {
            std::printf("%s%s:\n", &path == &options->archives.front() ? "" : "\n", path.c_str());
          }
          status = std::max(
              status, RunOnArchiveOrInstaller(path, codePage, [&](const ArchiveSource& source) {
                return RunListCommand(source, options->list);
              }));
        }
        return status;
      }};
}
