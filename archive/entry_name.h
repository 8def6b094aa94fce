// Entry names: the spaces a stored name carries that are not part of it, and
// the rule that decides whether a name may be written as a file in the
// destination folder. The upper-casing that follows the trimming belongs to
// whoever writes the files, in the code page it writes them in.
#pragma once

#include <cstdint>

// The name in a stored name: spaces (0x20 only) trimmed at both ends for the
// tagged layout, at the end only for the fixed layout. Sets *first to the
// first byte kept and returns the number of bytes kept (0 for a negative
// length).
int32_t TrimEntryName(const char* stored, int32_t length, int32_t layout, int32_t* first);

// True when a normalised name, given as the UTF-16 units the file system will
// see (the ANSI name converted from the target's code page), names a plain file
// directly inside the destination folder; false for anything that would leave
// it or reach a device. Judging the converted name, not its bytes, keeps the
// trail bytes 0x5C and 0x7C of double-byte code pages (932, 936, 949, 950) from
// being taken for "\\" and "|".
bool IsSafeEntryName(const char16_t* name, int32_t length);
