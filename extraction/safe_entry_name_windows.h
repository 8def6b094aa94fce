// The safe-name rule applied by the installer: on the entry's normalised ANSI
// name as its wide file calls will receive it.
#pragma once

#include <cstdint>

// Converts name[0..length) from the system ANSI code page as the path is
// converted for the file open (MultiByteToWideChar with MB_PRECOMPOSED) and
// judges the UTF-16 result with IsSafeEntryName. A name that converts to
// nothing is refused.
bool IsSafeAnsiEntryName(const char* name, int32_t length);
