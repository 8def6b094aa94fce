// Entry names: normalisation as the installer uses them, and the rule that
// decides whether a name may be written as a file in the destination folder.
#pragma once

#include <cstdint>

// Trims spaces (0x20 only) — at both ends for the tagged layout, at the end
// only for the fixed layout — then upper-cases with the Windows ANSI mapping.
// Writes the result and a terminating NUL into out (room for length + 1 bytes)
// and returns its length.
int32_t NormaliseEntryName(const char* stored, int32_t length, int32_t layout, char* out);

// The trimming of NormaliseEntryName alone: sets *first to the first byte kept
// and returns the number of bytes kept.
int32_t TrimEntryName(const char* stored, int32_t length, int32_t layout, int32_t* first);

// Upper-cases 8-bit ANSI text in place with the system's mapping: CharUpperBuffA
// on Windows, the code page 1252 mapping on the host.
void UpperCaseAnsi(char* text, int32_t length);

// True when a normalised name, given as the UTF-16 units the file system will
// see (the ANSI name converted from the target's code page), names a plain file
// directly inside the destination folder; false for anything that would leave
// it or reach a device. Judging the converted name, not its bytes, keeps the
// trail bytes 0x5C and 0x7C of double-byte code pages (932, 936, 949, 950) from
// being taken for "\\" and "|".
bool IsSafeEntryName(const char16_t* name, int32_t length);
