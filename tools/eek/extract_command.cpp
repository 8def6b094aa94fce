// eek extract: writes every entry into a folder the way the installer does,
// under its normalised name, a later entry replacing an earlier one of the
// same name. Names the extraction refuses, and anything in the folder that is
// not a plain file (a symbolic link above all), are skipped with a message.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

#include "archive/decoder.h"
#include "tools/eek/archive_check.h"
#include "tools/eek/code_page.h"
#include "tools/eek/commands.h"
#include "tools/eek/host_path.h"
#include "tools/eek/installer_payload.h"
#include "tools/eek/messages.h"
#include "tools/eek/output_queue.h"
#include "tools/eek/progress_bar.h"

namespace {

// An empty folder stands for the current one: the entries' names are then
// used alone, as relative paths.
bool PrepareFolder(const std::string& folder) {
  if (folder.empty()) {
    return true;
  }
  std::error_code error;
  std::filesystem::path path = HostPath(folder);
  if (!std::filesystem::exists(path, error)) {
    std::filesystem::create_directories(path, error);
    if (error) {
      ReportProblem(folder + ": cannot create the folder: " + error.message());
      return false;
    }
  }
  if (!std::filesystem::is_directory(path, error)) {
    ReportProblem(folder + ": not a folder");
    return false;
  }
  return true;
}

}  // namespace

int RunExtractCommand(const ArchiveSource& source, const std::string& folder,
                      const ExtractOptions& options) {
  const std::string& shown = source.shown;
  std::vector<std::string> protectedPaths = {source.path};
  if (!PrepareFolder(folder)) {
    return 1;
  }
  OpenArchive archive;
  if (!OpenArchiveForWalk(source, &archive)) {
    return 1;
  }
  bool allWritten = true;
  // The first damage seen; like the installer, the walk goes on past an entry
  // that decodes wrong, and a cut archive ends it by itself. A damaged entry
  // never takes its name.
  std::string damage;
  ArchiveEntry entry;
  EntryDecoder decoder;
  OutputQueue queue;  // its writer is ended on every way out
  StartOutputQueue(&queue, folder, OutputRules{protectedPaths, options.keepOld, options.verbose});
  ProgressBar bar;
  StartProgressBar(&bar, "extracting", archive.walk.archiveLength);
  try {
    while (ReadNextEntry(&archive.walk, &entry)) {
      std::string headerDamage = FindHeaderDamage(archive, entry);
      if (!headerDamage.empty() && damage.empty()) {
        damage = DescribeEntry(archive, entry) + ": " + headerDamage;
      }
      if (entry.dataStart > archive.walk.archiveLength) {
        break;  // not even the whole name arrived: nothing worth writing
      }
      BinaryFile output = UnopenedBinaryFile();
      std::string name = TargetName(archive, entry);
      std::string hostName;
      bool queued = IsSafeNameInCodePage(archive.codePage, name) &&
                    AnsiToHostName(archive.codePage, name, &hostName);
      if (queued) {
        output = OpenQueuedOutput(&queue, hostName, entry.unpackedSize);
      } else {
        QueueMessage(&queue, shown + ": " + DescribeEntry(archive, entry) +
                                 ": the name is not a plain file name inside the folder; skipped");
        allWritten = false;
      }
      // The data is decoded also for a skipped entry, so that the walk stays in step.
      BeginEntryDecoding(&decoder, &archive.file, entry.dataStart, entry.dataEnd, nullptr, nullptr);
      int64_t produced = 0;
      const uint8_t* piece = nullptr;
      while (int32_t length = DecodeNextPiece(&decoder, &piece)) {
        WriteBinaryFile(&output, piece, length);
        produced += length;
      }
      CloseBinaryFile(&output);
      const EntryDecoding& decoding = decoder.decoding;
      AdvanceProgressBar(
          &bar, std::min<int64_t>(entry.dataEnd, archive.walk.archiveLength) - entry.position);
      bool wrongSize = entry.unpackedSize >= 0 && produced != entry.unpackedSize;
      if (damage.empty() && wrongSize) {
        damage = DescribeEntry(archive, entry) + ": decodes to " + std::to_string(produced) +
                 " bytes, the header says " + std::to_string(entry.unpackedSize);
      } else if (damage.empty() && !DecodedCleanly(decoding)) {
        damage = DescribeEntry(archive, entry) + ": the data is damaged (packed byte " +
                 std::to_string(decoding.problemOffset) + ")";
      }
      if (queued && (wrongSize || !DecodedCleanly(decoding) || !headerDamage.empty())) {
        DropClosedOutput(&queue);
      }
    }
  } catch (...) {
    EndProgressBar(&bar);
    CloseArchive(&archive);
    throw;
  }
  allWritten = EndOutputQueue(&queue) && allWritten;
  EndProgressBar(&bar);
  if (damage.empty()) {
    damage = FindWalkEndDamage(archive);
  }
  bool readFailed = archive.buffered.failed;
  std::string readError = archive.buffered.error;
  CloseArchive(&archive);
  if (readFailed) {
    ReportProblem(shown + ": " + readError);
    return 1;
  }
  if (!damage.empty()) {
    ReportProblem(shown + ": " + damage + "; damaged entries are not extracted");
    return 1;
  }
  return allWritten ? 0 : 1;
}

Command AddExtractCommand(CLI::App* app) {
  struct Options {
    std::string archive;
    std::string folder = ".";
    ExtractOptions extract{false, false};
  };
  auto options = std::make_shared<Options>();
  CLI::App* extract = app->add_subcommand("extract", "Writes every entry into a folder");
  extract->footer(
      "Writes every entry into a folder under its upper-case name, as the installer does; a later "
      "entry replaces an earlier one of the same name. Each file is written as a new file beside "
      "its name and renamed into place when whole, so an interrupted extraction leaves no partial "
      "file under an entry's name and nothing is written through a hard or symbolic link; an "
      "entry that decodes to another size than its header's, or from damaged data, never takes "
      "its name (the exit status is 1). A name that is not a plain file name inside the folder "
      "is skipped with a message, and so is an existing symbolic link, folder or other non-file "
      "of an entry's name and the archive itself; the rest is extracted and the exit status "
      "is 1.");
  extract->add_option("ARCHIVE", options->archive, "The archive (or installer) to extract")
      ->required();
  extract
      ->add_option("-C,--directory", options->folder,
                   "The folder to write into (created if missing)")
      ->capture_default_str();
  extract->add_flag(
      "-k,--keep-old-files", options->extract.keepOld,
      "Leave existing files alone; each one kept is reported and the exit status is 1");
  extract->add_flag("-v,--verbose", options->extract.verbose, "Name each file as it is written");
  return Command{extract, [options](int codePage) {
                   return RunOnArchiveOrInstaller(
                       options->archive, codePage, [&](const ArchiveSource& source) {
                         return RunExtractCommand(source, options->folder, options->extract);
                       });
                 }};
}
