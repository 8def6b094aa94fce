// eek test: decodes every entry and checks it, by the decoder's own report,
// without writing anything.
#include <cstdio>

#include "archive/decoder.h"
#include "tools/eek/archive_check.h"
#include "tools/eek/code_page.h"
#include "tools/eek/installed_names.h"
#include "tools/eek/commands.h"
#include "tools/eek/messages.h"

namespace {

// Decodes the entry into a counting sink and returns what is wrong with it, or
// an empty text.
std::string CheckEntryData(OpenArchive* archive, const ArchiveEntry& entry, BufferedFile* sink,
                           int64_t* produced) {
  BinaryFile output;
  AttachCountingSink(sink, &output);
  EntryDecoding decoding =
      DecompressEntry(&archive->file, entry.dataStart, entry.dataEnd, &output, nullptr, nullptr);
  *produced = sink->bytesWritten;
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
  return FindInstalledNameProblem(TargetName(*archive, entry));
}

}  // namespace

int RunTestCommand(const std::string& archivePath, const std::string& shownName) {
  const std::string& shown = shownName.empty() ? archivePath : shownName;
  OpenArchive archive;
  if (!OpenArchiveForWalk(archivePath, &archive)) {
    return 1;
  }
  std::string damage;
  ArchiveEntry entry;
  BufferedFile sink;
  int64_t totalProduced = 0;
  InstalledNames names;
  while (ReadNextEntry(&archive.walk, &entry)) {
    damage = FindHeaderDamage(archive, entry);
    int64_t produced = 0;
    if (damage.empty()) {
      damage = CheckEntryData(&archive, entry, &sink, &produced);
    }
    if (damage.empty()) {
      // The installer would unpack both, the later over the earlier.
      damage = NoteInstalledName(&names, TargetName(archive, entry),
                                 "entry " + std::to_string(archive.walk.entriesRead));
    }
    if (!damage.empty()) {
      damage = DescribeEntry(archive, entry) + ": " + damage;
      break;
    }
    totalProduced += produced;
  }
  if (damage.empty()) {
    damage = FindWalkEndDamage(archive);
  }
  int32_t entries = archive.walk.entriesRead;
  CloseArchive(&archive);
  if (!damage.empty()) {
    ReportProblem(shown + ": " + damage);
    return 1;
  }
  std::printf("%s: OK, %d %s, %lld bytes unpacked\n", shown.c_str(), entries,
              entries == 1 ? "entry" : "entries", static_cast<long long>(totalProduced));
  return 0;
}
