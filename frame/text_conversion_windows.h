// UTF-16 texts for the wide system calls, and the conversions between them and
// the installer's ANSI texts: in the system ANSI code page, or for the
// payload's names in the code page the caller names.
#pragma once

#include <windows.h>

#include <cstdint>

#include "frame/ansi_text.h"

struct WideText {
  int32_t length;  // UTF-16 units, not counting the zero unit that follows them
  WCHAR units[kTextCapacity + 1];
};

// MultiByteToWideChar from codePage (CP_ACP, 0: the system ANSI code page)
// with MB_PRECOMPOSED, length first, then the conversion. An empty text, or
// one that converts to nothing, gives an empty wide text.
WideText ToWide(const AnsiText& text, UINT codePage = CP_ACP);

// WideCharToMultiByte to the system ANSI code page, length first, then the
// conversion. An empty text, one
// that converts to nothing or one whose conversion would not fit in an AnsiText
// gives an empty text.
AnsiText ToAnsi(const WideText& text);
AnsiText ToAnsi(const WCHAR* zeroTerminated);

// Converts text from the system ANSI code page to codePage, exactly:
// false, with out left empty, when a character has no exact form there.
bool ReencodeText(const AnsiText& text, UINT codePage, AnsiText* out);

// Keeps at most the first maxUnits units of text.
void TruncateWide(WideText* text, int32_t maxUnits);

// Appends zero-terminated units; what does not fit is dropped.
void AppendWide(WideText* text, const WCHAR* zeroTerminated);

// True when the last unit of text is one of the given ASCII characters.
bool DoesWideEndWith(const WideText& text, char first, char second);

// True when text contains one of the given ASCII characters.
bool DoesWideContain(const WideText& text, char first, char second);
