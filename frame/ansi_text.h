// Texts of the installer: 8-bit strings (in the system ANSI code page, the
// payload's names in the code page they were written in) with an explicit
// length, kept in a fixed buffer. A zero byte always follows the last
// character, so a text can be handed to an "A" system call as it is.
//
// Operations that would overflow the buffer keep what fits and drop the rest.
#pragma once

#include <cstdint>

enum : int32_t {
  kTextCapacity = 1023,  // characters; the buffer holds one more for the zero byte
};

struct AnsiText {
  int32_t length;
  char chars[kTextCapacity + 1];
};

// The empty text.
AnsiText EmptyText();

// A text made of the characters of a zero-terminated string.
AnsiText TextFrom(const char* zeroTerminated);

// A text made of length characters (zero bytes included) starting at chars.
AnsiText TextFromChars(const char* chars, int32_t length);

bool IsTextEmpty(const AnsiText& text);
bool AreTextsEqual(const AnsiText& left, const AnsiText& right);

// Appends characters to text; what does not fit in the buffer is dropped.
void AppendChars(AnsiText* text, const char* chars, int32_t length);
void AppendText(AnsiText* text, const char* zeroTerminated);
void AppendText(AnsiText* text, const AnsiText& tail);
// Appends number in decimal digits, without leading zeros.
void AppendDecimal(AnsiText* text, uint32_t number);
