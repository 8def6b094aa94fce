// UTF-8 and UTF-16 conversions: the texts of PE resources are UTF-16, the
// publisher's texts and file names UTF-8.
#include "peimage/utf16_text.h"

#include <cstdint>

namespace {

// The number of continuation bytes after a UTF-8 lead byte, or -1.
int ContinuationCount(uint8_t lead) {
  if (lead < 0x80) {
    return 0;
  }
  if ((lead >> 5) == 6) {
    return 1;
  }
  if ((lead >> 4) == 14) {
    return 2;
  }
  return (lead >> 3) == 30 ? 3 : -1;
}

}  // namespace

bool Utf8ToUtf16(const std::string& utf8, std::u16string* units) {
  static const uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  units->clear();
  size_t i = 0;
  while (i < utf8.size()) {
    uint8_t lead = static_cast<uint8_t>(utf8[i]);
    int extra = ContinuationCount(lead);
    if (extra < 0 || utf8.size() - i <= static_cast<size_t>(extra)) {
      return false;
    }
    uint32_t code = extra == 0 ? lead : lead & (0x3Fu >> extra);
    for (int k = 1; k <= extra; ++k) {
      uint8_t next = static_cast<uint8_t>(utf8[i + static_cast<size_t>(k)]);
      if ((next & 0xC0) != 0x80) {
        return false;
      }
      code = (code << 6) | (next & 0x3Fu);
    }
    if (code < kLeast[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      units->push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      units->push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      units->push_back(static_cast<char16_t>(code));
    }
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}

bool Utf16ToUtf8(const std::u16string& units, std::string* utf8) {
  utf8->clear();
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t code = units[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (units[i + 1] - 0xDC00u);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      return false;
    }
    if (code < 0x80) {
      utf8->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      utf8->push_back(static_cast<char>(0xC0 | (code >> 6)));
      utf8->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      utf8->push_back(static_cast<char>(0xE0 | (code >> 12)));
      utf8->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      utf8->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      utf8->push_back(static_cast<char>(0xF0 | (code >> 18)));
      utf8->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      utf8->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      utf8->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return true;
}
