// Upper case for 8-bit text on hosts without the Windows mapping: code page 1252
// as CharUpperBuffA maps it there. ASCII a-z become A-Z; 0x9A, 0x9C and 0x9E
// (s, oe and z with caron or ligature) become 0x8A, 0x8C and 0x8E; 0xFF
// (y with diaeresis) becomes 0x9F; 0xE0-0xFE, except the division sign 0xF7,
// lose 0x20. Everything else is unchanged, among them 0xB5 (micro sign) and 0xDF
// (sharp s), which have no single-byte capital in this code page.
#include "archive/entry_name.h"

namespace {

uint8_t UpperCaseCp1252(uint8_t c) {
  if (c >= 'a' && c <= 'z') {
    return static_cast<uint8_t>(c - 0x20);
  }
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {
    return static_cast<uint8_t>(c - 0x20);
  }
  switch (c) {
    case 0x9A:
      return 0x8A;
    case 0x9C:
      return 0x8C;
    case 0x9E:
      return 0x8E;
    case 0xFF:
      return 0x9F;
    default:
      return c;
  }
}

}  // namespace

void UpperCaseAnsi(char* text, int32_t length) {
  for (int32_t i = 0; i < length; ++i) {
    text[i] = static_cast<char>(UpperCaseCp1252(static_cast<uint8_t>(text[i])));
  }
}
