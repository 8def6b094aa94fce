// eek test: decodes every entry and checks it, by the decoder's own report,
// without writing anything.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "archive/decoder.h"
#include "tools/eek/archive_check.h"
#include "tools/eek/code_page.h"
#include "tools/eek/installed_names.h"
#include "tools/eek/commands.h"
#include "tools/eek/installer_payload.h"
#include "tools/eek/messages.h"

namespace {

// Decodes the entry, counting its bytes, and returns what is wrong with it, or
// an empty text.
std::string CheckEntryData(OpenArchive* archive, const ArchiveEntry& entry, EntryDecoder* decoder,
                           int64_t* produced) {
  *produced = CountDecodedBytes(archive, entry, decoder);
  const EntryDecoding& decoding = decoder->decoding;
  if (archive->buffered.failed) {
    return archive->buffered.error;
  }
  std::string where = " (packed byte " + std::to_string(decoding.problemOffset) + ")";
  if (decoding.copyOutsideWindow) {
    return "a copy reaches outside the history window" + where;
  }
  if (decoding.cutToken) {
    return "the data ends inside a token" + where;
  }
  if (decoding.shortRead) {
    return "the data is cut off by the end of the archive (truncated)";
  }
  if (entry.unpackedSize >= 0 && *produced != entry.unpackedSize) {
    return "decodes to " + std::to_string(*produced) + " bytes, the header says " +
           std::to_string(entry.unpackedSize);
  }
  return FindInstalledNameProblem(archive->codePage, TargetName(*archive, entry));
}

}  // namespace

std::string TestArchive(OpenArchive* archive, ArchiveTally* tally) {
  *tally = ArchiveTally{0, 0, false};
  std::string damage;
  ArchiveEntry entry;
  EntryDecoder decoder;
  InstalledNames names;
  while (ReadNextEntry(&archive->walk, &entry)) {
    damage = FindHeaderDamage(*archive, entry);
    int64_t produced = 0;
    if (damage.empty()) {
      damage = CheckEntryData(archive, entry, &decoder, &produced);
    }
    if (damage.empty()) {
      // The installer would unpack both, the later over the earlier.
      damage = NoteInstalledName(&names, TargetName(*archive, entry),
                                 "entry " + std::to_string(archive->walk.entriesRead));
    }
    if (!damage.empty()) {
      damage = DescribeEntry(*archive, entry) + ": " + damage;
      break;
    }
    tally->unpacked += produced;
    tally->hasSetup = tally->hasSetup || IsSetupName(TargetName(*archive, entry));
  }
  if (damage.empty()) {
    damage = FindWalkEndDamage(*archive);
  }
  tally->entries = archive->walk.entriesRead;
  CloseArchive(archive);
  return damage;
}

int RunTestCommand(const ArchiveSource& source, bool quiet) {
  const std::string& shown = source.shown;
  OpenArchive archive;
  if (!OpenArchiveForWalk(source, &archive)) {
    return 1;
  }
  ArchiveTally tally;
  std::string damage = TestArchive(&archive, &tally);
  if (!damage.empty()) {
    ReportProblem(shown + ": " + damage);
    return 1;
  }
  if (!quiet) {
    std::printf("%s: OK, %d %s, %lld bytes unpacked\n", shown.c_str(), tally.entries,
                tally.entries == 1 ? "entry" : "entries", static_cast<long long>(tally.unpacked));
  }
  return 0;
}

Command AddTestCommand(CLI::App* app) {
  struct Options {
    std::vector<std::string> archives;
    bool quiet = false;
  };
  auto options = std::make_shared<Options>();
  CLI::App* test = app->add_subcommand("test", "Checks that every entry decodes soundly");
  test->footer(
      "Decodes every entry without writing anything and checks the archive: entries cut off by "
      "the end of the archive, damaged headers, bytes after the last entry, packed data that is "
      "not a sound token stream, an unpacked size different from the header's, names the "
      "extraction would refuse. Exits 0 when all is well, otherwise names the first damaged "
      "entry.");
  test->add_option("ARCHIVE", options->archives, "The archives (or installers) to test")
      ->required();
  test->add_flag("-q,--quiet", options->quiet, "Nothing on stdout; the exit status tells");
  return Command{test, [options](int codePage) {
                   int status = 0;
                   for (const std::string& path : options->archives) {
                     status = std::max(
                         status,
                         RunOnArchiveOrInstaller(path, codePage, [&](const ArchiveSource& source) {
                           return RunTestCommand(source, options->quiet);
                         }));
                   }
                   return status;
                 }};
}
