// The extraction loop: walks the archive, opens each output file empty, lets
// the decoder fill it and turns every chunk read into a step of the progress
// display.
#include "archive/extract_archive.h"

#include "archive/binary_file.h"
#include "archive/binary_file_open.h"
#include "archive/binary_file_windows.h"
#include "archive/container.h"
#include "archive/decoder.h"
#include "archive/entry_name.h"
#include "archive/extraction_progress.h"
#include "frame/file_system.h"
#include "frame/text_conversion_windows.h"
#include "progress/progress_display.h"

namespace {

const char kExtractingCaption[] = "Extracting Installation Files...";

// An output file with content is deleted and opened again once; content that
// is still there after the deletion was kept on purpose.
const int32_t kOutputOpenAttempts = 2;

// Progress of one extraction: the bytes counted so far (each entry's fixed
// header and each requested data chunk) over the archive's length.
struct ExtractionProgress {
  int64_t countedBytes;
  int64_t archiveLength;
  int32_t lastPercentage;  // the percentage last sent; 0 is never sent
};

// Chunk callback of the decoder: sends each new whole-number percentage to the
// label as text, then to the bar.
void StepProgress(void* context, int32_t chunkSize) {
  ExtractionProgress* progress = static_cast<ExtractionProgress*>(context);
  progress->countedBytes += chunkSize;
  int32_t percentage = ComputeProgressPercentage(progress->countedBytes, progress->archiveLength);
  if (percentage == progress->lastPercentage) {
    return;
  }
  progress->lastPercentage = percentage;
  char text[kPercentTextCapacity];
  FormatPercentText(percentage, text);
  SetControlText(ProgressLabelHandle(), TextFrom(text));
  SetProgressPercent(percentage);
}

// The entry's output path: the name alone for an empty folder, otherwise the
// folder without its trailing backslashes, one backslash and the name. False
// for a name that could leave the folder or reach a device, and for a path the
// file open would cut (the cut path would name a different file).
bool BuildOutputPath(const AnsiText& folder, const ArchiveEntry& entry, AnsiText* path) {
  if (!IsSafeEntryName(entry.name, entry.nameLength)) {
    return false;
  }
  int32_t kept = folder.length;
  while (kept > 0 && folder.chars[kept - 1] == '\\') {
    --kept;
  }
  int32_t separator = IsTextEmpty(folder) ? 0 : 1;
  if (kept + separator + entry.nameLength > kTextCapacity) {
    return false;
  }
  *path = TextFromChars(folder.chars, kept);
  if (separator != 0) {
    AppendText(path, "\\");
  }
  AppendChars(path, entry.name, entry.nameLength);
  int32_t wideLength = ToWide(*path).length;
  return wideLength > 0 && wideLength <= kFilePathLimit;
}

// Opens path as an empty output file. A file with content is deleted first;
// when it survives the deletion the output is left unopened, so the entry's
// data is decoded and dropped.
void OpenOutputEmpty(const AnsiText& path, BinaryFile* output) {
  for (int32_t attempt = 1;; ++attempt) {
    OpenBinaryFile(output, path.chars);
    if (BinaryFileLength(output) < 1) {
      return;
    }
    CloseBinaryFile(output);
    if (attempt == kOutputOpenAttempts) {
      return;
    }
    DeleteMatchingFiles(path);
  }
}

}  // namespace

void ExtractArchive(HWND parent, const AnsiText& archivePath, const AnsiText& folder) {
  if (IsTextEmpty(FindFirstName(archivePath, 0))) {
    return;
  }
  HWND window = StartProgressDisplay(parent);
  SetControlText(window, TextFrom(kExtractingCaption));

  BinaryFile archive;
  OpenBinaryFile(&archive, archivePath.chars);
  ArchiveWalk walk;
  BeginArchiveWalk(&walk, &archive);
  ExtractionProgress progress = {0, walk.archiveLength, 0};
  ArchiveEntry entry;
  while (ReadNextEntry(&walk, &entry)) {
    progress.countedBytes += entry.headerSize;
    AnsiText path;
    BinaryFile output = UnopenedBinaryFile();
    if (BuildOutputPath(folder, entry, &path)) {
      OpenOutputEmpty(path, &output);
    }
    DecompressEntry(&archive, entry.dataStart, entry.dataEnd, &output, StepProgress, &progress);
  }
  CloseBinaryFile(&archive);
  CloseProgressDisplay();
}
