// Entry names: trimming and the safe-name rule of the extraction.
#include "archive/entry_name.h"

#include "archive/container.h"

int32_t TrimEntryName(const char* stored, int32_t length, int32_t layout, int32_t* first) {
  int32_t start = 0;
  int32_t end = length < 0 ? 0 : length;
  while (end > start && stored[end - 1] == ' ') {
    --end;
  }
  if (layout == kTaggedLayout) {
    while (start < end && stored[start] == ' ') {
      ++start;
    }
  }
  *first = start;
  return end - start;
}

namespace {

char16_t AsciiUpper(char16_t c) {
  return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
}

// Compares text[0..length) with an upper-case ASCII word, ignoring ASCII case.
bool MatchesWord(const char16_t* text, int32_t length, const char* word) {
  int32_t i = 0;
  for (; word[i] != '\0'; ++i) {
    if (i >= length || AsciiUpper(text[i]) != static_cast<char16_t>(word[i])) {
      return false;
    }
  }
  return i == length;
}

// Digits that follow COM and LPT in a device name: 0-9 and the superscripts
// one, two and three (U+00B9, U+00B2, U+00B3), which Windows also takes for
// device numbers.
bool IsDeviceDigit(char16_t c) {
  return (c >= u'0' && c <= u'9') || c == 0xB9 || c == 0xB2 || c == 0xB3;
}

// Windows maps these names to devices in any folder, whatever extension follows
// and with spaces before the extension ignored.
bool IsReservedDeviceName(const char16_t* name, int32_t length) {
  int32_t baseLength = 0;
  while (baseLength < length && name[baseLength] != u'.') {
    ++baseLength;
  }
  while (baseLength > 0 && name[baseLength - 1] == u' ') {
    --baseLength;
  }
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (MatchesWord(name, baseLength, device)) {
      return true;
    }
  }
  if (baseLength == 4 && IsDeviceDigit(name[3])) {
    return MatchesWord(name, 3, "COM") || MatchesWord(name, 3, "LPT");
  }
  return false;
}

bool IsRefusedCharacter(char16_t c) {
  if (c < 0x20 || c == 0x7F) {
    return true;
  }
  switch (c) {
    case u'\\':
    case u'/':
    case u':':
    case u'<':
    case u'>':
    case u'"':
    case u'|':
    case u'?':
    case u'*':
      return true;
    default:
      return false;
  }
}

}  // namespace

bool IsSafeEntryName(const char16_t* name, int32_t length) {
  if (length <= 0) {
    return false;
  }
  // "." and ".." end in a dot, so the trailing-dot rule refuses them too.
  char16_t last = name[length - 1];
  if (last == u'.' || last == u' ') {
    return false;
  }
  for (int32_t i = 0; i < length; ++i) {
    if (IsRefusedCharacter(name[i])) {
      return false;
    }
  }
  return !IsReservedDeviceName(name, length);
}
