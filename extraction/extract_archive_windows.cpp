// The extraction loop: walks the archive, opens each output file empty,
// writes the decoder's pieces into it and turns every chunk read into a step
// of the progress display.
#include "extraction/extract_archive.h"

#include <cstring>

#include "archive/binary_file.h"
#include "archive/container.h"
#include "archive/decoder.h"
#include "archive/entry_name.h"
#include "archive/extraction_progress.h"
#include "extraction/binary_file_windows.h"
#include "extraction/safe_entry_name_windows.h"
#include "frame/file_system.h"
#include "frame/text_conversion_windows.h"
#include "texts/installer_texts.h"

namespace {

// An output file with content is deleted and opened again once; content that
// is still there after the deletion was kept on purpose.
const int32_t kOutputOpenAttempts = 2;

// Progress of one extraction: the bytes counted so far (each entry's header,
// 10 or 20 bytes, and each requested data chunk) over the archive's length.
struct ExtractionProgress {
  const ExtractionDisplay* display;
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
  progress->display->setText(progress->display->labelHandle(), TextFrom(text));
  progress->display->setPercent(percentage);
}

// The folder without its trailing backslashes, one backslash and the name;
// the name alone for an empty folder.
AnsiText JoinFolderAndName(const AnsiText& folder, const AnsiText& name) {
  int32_t kept = folder.length;
  while (kept > 0 && folder.chars[kept - 1] == '\\') {
    --kept;
  }
  AnsiText path = TextFromChars(folder.chars, kept);
  if (!IsTextEmpty(folder)) {
    AppendText(&path, "\\");
  }
  AppendText(&path, name);
  return path;
}

// How the box names an entry whose name (in namesCodePage) was refused: the
// output path it would have had (only shown, never opened), or "entry N" for
// a name that does not convert at all.
AnsiText RefusedEntryText(const AnsiText& folder, const AnsiText& name, UINT namesCodePage,
                          int32_t entryNumber) {
  if (ToWide(name, namesCodePage).length > 0) {
    return JoinFolderAndName(folder, name);
  }
  AnsiText text = TextFrom(kRefusedEntryStart);
  AppendDecimal(&text, static_cast<uint32_t>(entryNumber));
  return text;
}

// The entry's output path: the name alone for an empty folder, otherwise the
// folder without its trailing backslashes, one backslash and the name; and
// its length in UTF-16 units, which the file open takes. Folder and name are
// in namesCodePage. False for a name that could leave the folder or reach a
// device, and for a path that does not convert. A path longer than a text
// holds keeps what fits: it is over the file open's limit either way.
bool BuildOutputPath(const AnsiText& folder, const AnsiText& name, UINT namesCodePage,
                     AnsiText* path, int32_t* wideLength) {
  if (!IsSafeAnsiEntryName(name.chars, name.length, namesCodePage)) {
    return false;
  }
  *path = JoinFolderAndName(folder, name);
  *wideLength = ToWide(*path, namesCodePage).length;
  return *wideLength > 0;
}

// Opens path (in namesCodePage) as output and tells whether what it opened is
// a kept file: a file with content is deleted first, and one that survives
// the deletion was kept on purpose and is not written over (true); otherwise
// output is a new, empty file (false).
bool OpenOutputFindsKeptFile(const AnsiText& path, UINT namesCodePage, BinaryFile* output) {
  for (int32_t attempt = 1;; ++attempt) {
    OpenBinaryFile(output, path.chars, namesCodePage);
    if (BinaryFileLength(output) < 1) {
      return false;
    }
    if (attempt == kOutputOpenAttempts) {
      return true;
    }
    CloseBinaryFile(output);
    DeleteMatchingFiles(path, namesCodePage);
  }
}

// Counts an entry that did not come out whole, keeping the first path.
void NoteUnwritten(ExtractionOutcome* outcome, const AnsiText& path) {
  if (outcome->unwrittenCount == 0) {
    outcome->firstUnwrittenPath = path;
  }
  outcome->unwrittenCount += 1;
}

}  // namespace

ExtractionOutcome ExtractArchive(const ExtractionDisplay& display, HWND parent,
                                 const AnsiText& archivePath, const AnsiText& folder,
                                 UINT namesCodePage) {
  ExtractionOutcome outcome = {false, false, 0, EmptyText()};
  if (IsTextEmpty(FindFirstName(archivePath, 0))) {
    outcome.archiveMissing = true;
    return outcome;
  }
  HWND window = display.start(parent);
  display.setText(window, TextFrom(kExtractingCaption));

  // Opened as it is, never made anew: an archive that went between the
  // listing and the open (a scanner took it) would otherwise come back as an
  // empty one, with nothing to install.
  BinaryFile archive;
  if (!OpenExistingBinaryFile(&archive, archivePath.chars)) {
    display.close();
    outcome.archiveMissing = true;
    return outcome;
  }
  // Output paths are in the code page of the names (CP_ACP where it is 0),
  // and every conversion of them for the file calls is made from it.
  AnsiText namesFolder = folder;
  bool folderConverts = namesCodePage == 0 || ReencodeText(folder, namesCodePage, &namesFolder);
  if (!folderConverts) {
    namesFolder = folder;  // names the unwritten files as well as it can
  }
  ArchiveWalk walk;
  BeginArchiveWalk(&walk, &archive);
  ExtractionProgress progress = {&display, 0, walk.archiveLength, 0};
  ArchiveEntry entry;
  EntryDecoder decoder;
  uint8_t keptBytes[kMaxPieceSize];  // a kept file's bytes, read back piece by piece
  int32_t entryNumber = 0;
  while (ReadNextEntry(&walk, &entry)) {
    entryNumber += 1;
    progress.countedBytes += entry.headerSize;
    // The header or the name ran into the end of the archive: whatever name
    // was read is a fragment, not the product's.
    bool entryCut = entry.cut;
    AnsiText path;
    int32_t pathUnits = 0;
    AnsiText name =
        namesCodePage == 0
            ? UpperCaseName(entry.trimmedName, entry.trimmedNameLength)
            : UpperCaseNameInCodePage(entry.trimmedName, entry.trimmedNameLength, namesCodePage);
    bool named = !entryCut && BuildOutputPath(namesFolder, name, namesCodePage, &path, &pathUnits);
    BinaryFile output = UnopenedBinaryFile();
    // The file open would cut a longer path into the name of a different
    // file, so such an entry cannot be written. A kept file is compared with
    // the entry's bytes instead: when they are the same, the entry is
    // installed already.
    bool kept = named && folderConverts && pathUnits <= kInstalledPathLimit &&
                OpenOutputFindsKeptFile(path, namesCodePage, &output);
    bool outputOpened = IsBinaryFileOpen(&output);
    bool shortWrite = false;
    bool differs = false;
    BeginEntryDecoding(&decoder, &archive, entry.dataStart, entry.dataEnd, StepProgress, &progress);
    const uint8_t* piece = nullptr;
    while (int32_t length = DecodeNextPiece(&decoder, &piece)) {
      if (kept) {
        // Read back, never written: the first difference ends the reading.
        differs = differs || ReadBinaryFile(&output, keptBytes, length) < length ||
                  std::memcmp(keptBytes, piece, static_cast<size_t>(length)) != 0;
      } else if (outputOpened && WriteBinaryFile(&output, piece, length) < length) {
        shortWrite = true;
      }
    }
    uint8_t beyond = 0;
    differs = differs || (kept && ReadBinaryFile(&output, &beyond, 1) != 0);
    // A write that failed may be reported only at the close: the file is
    // then as unwritten as after a short write.
    if (kept) {
      CloseBinaryFile(&output);
    } else if (!CloseCheckedBinaryFile(&output)) {
      shortWrite = true;
    }
    const EntryDecoding& decoding = decoder.decoding;
    // The data ran into the end of the archive, or does not decode as a
    // writer's data does: the file is not the product's.
    entryCut = entryCut || !DecodedCleanly(decoding);
    outcome.archiveDamaged = outcome.archiveDamaged || entryCut;
    if (shortWrite) {
      DeleteMatchingFiles(path, namesCodePage);  // frees the room a full disk needs back
    }
    if (entryCut) {
      continue;
    }
    if (!named) {
      // A refused name could be a file of the product: the installation is
      // not whole without it.
      NoteUnwritten(&outcome, RefusedEntryText(namesFolder, name, namesCodePage, entryNumber));
    } else if (!outputOpened || shortWrite || differs) {
      NoteUnwritten(&outcome, path);
    }
  }
  outcome.archiveDamaged = outcome.archiveDamaged || walk.damaged;
  CloseBinaryFile(&archive);
  display.close();
  return outcome;
}
