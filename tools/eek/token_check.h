// Checks an entry's packed data while the decoder reads it: every copy must
// take its bytes from within the history window, and the data must end on a
// token boundary. The decoder itself accepts any bytes; this tells a damaged
// entry from a sound one.
#pragma once

#include <cstdint>

#include "archive/binary_file.h"

struct TokenCheck {
  BinaryFile* source;    // the archive the decoder reads through the tap
  int64_t consumed;      // packed bytes seen so far
  int64_t produced;      // bytes the tokens seen so far produce
  int64_t tokenOffset;   // offset of the current token in the packed data
  int32_t literalsLeft;  // bytes of the current literal run still to come
  int32_t copyLength;    // non-zero while a copy's position byte is to come
  const char* problem;   // null while the data is sound
  int64_t problemOffset;
};

void BeginTokenCheck(TokenCheck* check);
void FeedTokenCheck(TokenCheck* check, const uint8_t* bytes, int32_t count);
// Flags a token that the data ends in the middle of; true when the data is sound.
bool EndTokenCheck(TokenCheck* check);

// A BinaryFile that reads from source and feeds every delivered byte to check;
// the read sets source's short-read mark as a direct read would.
BinaryFile TapTokenCheck(TokenCheck* check, BinaryFile* source);
