// The safe-name rule applied by the installer: on the entry's normalised ANSI
// name as its wide file calls will receive it; and the normalisation of names
// written in a code page other than the system's.
#pragma once

#include <windows.h>

#include <cstdint>

#include "frame/ansi_text.h"

// Converts name[0..length) from the code page of the calling thread's
// conversions as the path is converted for the file open (MultiByteToWideChar
// with MB_PRECOMPOSED) and judges the UTF-16 result with IsSafeEntryName. A
// name that converts to nothing is refused.
bool IsSafeAnsiEntryName(const char* name, int32_t length);

// The normalised name of a stored name written in codePage: spaces trimmed as
// the layout says, then, in UTF-16, every character replaced by its upper case
// where codePage has that character, written back in codePage. Upper-casing
// the bytes with the system's own code page would take the trail bytes of a
// double-byte code page for letters, and the letters of another single-byte
// code page for those of the system's. A name whose bytes are not valid in
// codePage is only trimmed.
AnsiText NormaliseNameInCodePage(const char* stored, int32_t length, int32_t layout, UINT codePage);
