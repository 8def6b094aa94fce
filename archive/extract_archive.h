// The installer's extraction: every entry of an archive file unpacked into a
// folder, one output file per entry, while the progress display shows how far
// it has come. Windows only: it drives the progress window.
#pragma once

#include <windows.h>

#include "frame/ansi_text.h"

// Unpacks the archive at archivePath into folder (the current directory when
// folder is empty). Nothing happens, and no display is shown, unless
// archivePath names a plain file (not hidden, not system, not a folder).
//
// Each output file is named folder, "\" and the entry's normalised name, and
// replaces a file of that name, including the output of an earlier entry with
// the same name. An entry is not written, but its data is still read so that
// the walk stays in step, when its name could leave the folder or reach a
// device, when the path would be too long for the file open, or when a file
// with content is already there and cannot be deleted (read-only, hidden,
// system or in use): a file the folder's clearing kept is never overwritten.
// A damaged header ends the walk. Nothing is reported to the caller.
void ExtractArchive(HWND parent, const AnsiText& archivePath, const AnsiText& folder);
