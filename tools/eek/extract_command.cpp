// eek extract: writes every entry into a folder the way the installer does,
// under its normalised name, a later entry replacing an earlier one of the
// same name. Names the extraction refuses, and anything in the folder that is
// not a plain file (a symbolic link above all), are skipped with a message.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "archive/decoder.h"
#include "tools/eek/archive_check.h"
#include "tools/eek/code_page.h"
#include "tools/eek/commands.h"
#include "tools/eek/host_path.h"
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

int RunExtractCommand(const std::string& archivePath, const std::string& folder,
                      const ExtractOptions& options, const std::string& installerPath) {
  const std::string shown = installerPath.empty() ? archivePath : installerPath + " (payload)";
  std::vector<std::string> protectedPaths = {archivePath};
  if (!installerPath.empty()) {
    protectedPaths.push_back(installerPath);
  }
  if (!PrepareFolder(folder)) {
    return 1;
  }
  OpenArchive archive;
  if (!OpenArchiveForWalk(archivePath, &archive)) {
    return 1;
  }
  bool allWritten = true;
  // The first damage seen; like the installer, the walk goes on past an entry
  // that decodes to the wrong size, and a cut archive ends it by itself.
  std::string damage;
  ArchiveEntry entry;
  BufferedFile sink;
  OutputQueue queue;
  StartOutputQueue(&queue, folder, OutputRules{protectedPaths, options.keepOld, options.verbose});
  ProgressBar bar;
  StartProgressBar(&bar, "extracting", archive.walk.archiveLength);
  // The writer thread must be joined on every way out, also when memory runs out.
  try {
    while (ReadNextEntry(&archive.walk, &entry)) {
      std::string headerDamage = FindHeaderDamage(archive, entry);
      if (!headerDamage.empty() && damage.empty()) {
        damage = DescribeEntry(archive, entry) + ": " + headerDamage;
      }
      if (entry.dataStart > archive.walk.archiveLength) {
        break;  // not even the whole name arrived: nothing worth writing
      }
      BinaryFile output;
      const int64_t* produced = &queue.bytesWritten;
      std::string name = TargetName(archive, entry);
      std::string hostName;
      if (IsSafeNameInCodePage(TargetCodePage(), name) &&
          AnsiToHostName(TargetCodePage(), name, &hostName)) {
        output = OpenQueuedOutput(&queue, hostName, entry.unpackedSize);
      } else {
        QueueMessage(&queue, shown + ": " + DescribeEntry(archive, entry) +
                                 ": the name is not a plain file name inside the folder; skipped");
        AttachCountingSink(&sink, &output);
        produced = &sink.bytesWritten;
        allWritten = false;
      }
      // The data is decoded also for a skipped entry, so that the walk stays in step.
      DecompressEntry(&archive.file, entry.dataStart, entry.dataEnd, &output, nullptr, nullptr);
      AdvanceProgressBar(
          &bar, std::min<int64_t>(entry.dataEnd, archive.walk.archiveLength) - entry.position);
      if (damage.empty() && entry.unpackedSize >= 0 && *produced != entry.unpackedSize) {
        damage = DescribeEntry(archive, entry) + ": decodes to " + std::to_string(*produced) +
                 " bytes, the header says " + std::to_string(entry.unpackedSize);
      }
    }
  } catch (...) {
    EndProgressBar(&bar);
    EndOutputQueue(&queue);
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
    ReportProblem(shown + ": " + damage);
    return 1;
  }
  return allWritten ? 0 : 1;
}
