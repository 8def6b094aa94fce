// The installer's extraction: every entry of an archive file unpacked into a
// folder, one output file per entry, while a progress display that the caller
// hands in shows how far it has come.
#pragma once

#include <windows.h>

#include <cstdint>

#include "frame/ansi_text.h"

// The progress display as the extraction drives it: started once before the
// walk, given the caption and then each new percentage (as label text, then
// as bar position), closed after the walk. The installer hands in the
// progress window's calls; tests hand in recording ones.
struct ExtractionDisplay {
  HWND (*start)(HWND parent);                          // the window, or null
  void (*setText)(HWND window, const AnsiText& text);  // returns once shown
  int32_t (*setPercent)(int32_t percent);              // posts the bar position
  bool (*close)();                                     // waits until it is gone
  HWND (*labelHandle)();                               // the label for percentages
};

// What an extraction could not do, for the caller to tell the user.
struct ExtractionOutcome {
  // The archive was not there as a plain file, or could not be opened: it
  // went, or was locked, after it was written. Nothing was unpacked.
  bool archiveMissing;
  // The archive's walk ended on a damaged header, or an entry's header, name
  // or data was cut short by the end of the archive or its data does not
  // decode as a writer's does.
  bool archiveDamaged;
  // Entries that are not in the folder as the payload has them: the name is
  // refused (it could leave the folder or reach a device, or has no Unicode
  // form), the path is too long for the file open, the file could not be
  // opened or emptied (a kept file whose bytes are not the entry's), or a
  // write or the close failed (a full disk).
  int32_t unwrittenCount;
  // The output path of the first of them, in the code page of the names (the
  // extraction's namesCodePage where it is not 0); for a refused name the
  // path it would have had, or "entry N" (N from 1 in the payload's order)
  // where the name does not convert at all.
  AnsiText firstUnwrittenPath;
};

// Unpacks the archive at archivePath into folder (the current directory when
// folder is empty). Nothing happens, and no display is shown, unless
// archivePath names a plain file (not hidden, not system, not a folder); an
// archive that then cannot be opened is not created: the display closes
// again and nothing is unpacked. Either way the outcome says archiveMissing.
//
// Each output file is named folder, "\" and the entry's normalised name, and
// replaces a file of that name, including the output of an earlier entry with
// the same name. An entry is not written, but its data is still read so that
// the walk stays in step, when its name could leave the folder or reach a
// device, when the path
// would be too long for the file open, or when a file with content is already
// there and cannot be deleted (read-only, hidden, system or in use): a file
// the folder's clearing kept is never overwritten, only compared with the
// entry's bytes, and counts as written when they are the same. No file is
// made for an entry whose header or name is cut short; an entry whose data is
// cut short keeps what arrived, a file whose writes or close failed is
// deleted again. A damaged header ends the walk.
//
// The entry names are in the system ANSI code page when namesCodePage is 0.
// Otherwise they are in namesCodePage, which the system must have
// (IsValidCodePage): each is upper-cased in UTF-16 (UpperCaseNameInCodePage)
// and converted from that code page for the file calls, so that a payload
// writes the same Unicode names whatever the system's code page; the folder
// (in the system's code page) must then have an exact form in namesCodePage,
// or no entry is written.
ExtractionOutcome ExtractArchive(const ExtractionDisplay& display, HWND parent,
                                 const AnsiText& archivePath, const AnsiText& folder,
                                 UINT namesCodePage = 0);
