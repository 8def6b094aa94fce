// The copy of the payload resource (contract/installer_contract.h) to the temporary
// archive file, byte for byte, straight from the loaded resource, after the
// payload has been checked against its check record when it has one.
#pragma once

#include <windows.h>

#include <cstdint>

#include "frame/ansi_text.h"

enum PayloadCopy : int32_t {
  kPayloadCopied = 0,
  kPayloadMissing,     // the module has no payload resource
  kPayloadNotWritten,  // the file could not be made or not wholly written
  kPayloadMismatch,    // the payload does not match its check record
};

// Writes the payload resource of module into the file archiveName (made or
// emptied) with one write; where that file cannot be written, into
// fallbackName instead (none when it is empty). The payload is found, loaded
// and checked once, before either file is touched. *archivePath is the file
// written, or the last one tried.
// kPayloadMissing when module has no payload, or the system cannot load it;
// no file is touched then. kPayloadMismatch when the module carries a payload
// check record (archive/payload_check.h) and the loaded payload's length or
// CRC-32 differs from it, or the record is malformed; nothing is written then
// either. kPayloadNotWritten when neither file can be written: a file that
// cannot be made (a read-only folder), something other than a plain file of
// that name (a read-only, hidden or system file, a folder or a link, left as
// it is), a write or a close that fails or writes fewer bytes than the payload
// holds (a full disk); a file made here is removed again, so no shortened
// archive is left behind.
PayloadCopy CopyPayloadToFile(HINSTANCE module, const AnsiText& archiveName,
                              const AnsiText& fallbackName, AnsiText* archivePath);

// The code page the module's payload check record gives for the payload's
// entry names; 0 when it gives none (no record, a version 1 record, or a
// malformed one, which the payload check refuses).
UINT RecordedNamesCodePage(HINSTANCE module);

// The temporary archive in the user's temporary folder (GetTempPathW), for a
// current directory that cannot take it; empty when there is no temporary
// folder, or when its path has no exact form in the system ANSI code page.
AnsiText TemporaryFolderArchive(const char* archiveName);

// The full path that the system makes of name against the current directory,
// for telling the user which file is meant; name itself when it has none.
AnsiText ResolveFullPath(const AnsiText& name);
