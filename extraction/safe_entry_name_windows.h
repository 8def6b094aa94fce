// The safe-name rule applied by the installer: on the entry's normalised ANSI
// name as its wide file calls will receive it; and the normalisation of an
// entry's trimmed name (ArchiveEntry) into the name the installer writes: upper
// case, in the system's code page or in the payload's own.
#pragma once

#include <windows.h>

#include <cstdint>

#include "frame/ansi_text.h"

// Converts name[0..length) from codePage (CP_ACP: the system's) as the path
// is converted for the file open (MultiByteToWideChar with MB_PRECOMPOSED) and
// judges the UTF-16 result with IsSafeEntryName. A name that converts to
// nothing is refused.
bool IsSafeAnsiEntryName(const char* name, int32_t length, UINT codePage);

// A name in the system's ANSI code page, upper-cased with the system's own
// mapping (CharUpperBuffA), as every name is where the payload's code page is
// the system's.
AnsiText UpperCaseName(const char* name, int32_t length);

// A name written in codePage: in UTF-16, every character replaced by its upper
// case where codePage has that character, written back in codePage.
// Upper-casing the bytes with the system's own code page would take the trail
// bytes of a double-byte code page for letters, and the letters of another
// single-byte code page for those of the system's. A name whose bytes are not
// valid in codePage is left as it is.
AnsiText UpperCaseNameInCodePage(const char* name, int32_t length, UINT codePage);
