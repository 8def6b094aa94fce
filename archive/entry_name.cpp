// Entry names: normalisation and the safe-name rule of the extraction.
#include "archive/entry_name.h"

#include "archive/container.h"

int32_t NormaliseEntryName(const char* stored, int32_t length, int32_t layout, char* out) {
  int32_t first = 0;
  int32_t end = length < 0 ? 0 : length;
  while (end > first && stored[end - 1] == ' ') {
    --end;
  }
  if (layout == kTaggedLayout) {
    while (first < end && stored[first] == ' ') {
      ++first;
    }
  }
  int32_t count = end - first;
  for (int32_t i = 0; i < count; ++i) {
    out[i] = stored[first + i];
  }
  UpperCaseAnsi(out, count);
  out[count] = '\0';
  return count;
}

namespace {

uint8_t AsciiUpper(uint8_t c) {
  return (c >= 'a' && c <= 'z') ? static_cast<uint8_t>(c - 0x20) : c;
}

// Compares text[0..length) with an upper-case ASCII word, ignoring ASCII case.
bool MatchesWord(const uint8_t* text, int32_t length, const char* word) {
  int32_t i = 0;
  for (; word[i] != '\0'; ++i) {
    if (i >= length || AsciiUpper(text[i]) != static_cast<uint8_t>(word[i])) {
      return false;
    }
  }
  return i == length;
}

// Digits that follow COM and LPT in a device name: 0-9 and the code page 1252
// superscripts one, two and three, which Windows also takes for device numbers.
bool IsDeviceDigit(uint8_t c) {
  return (c >= '0' && c <= '9') || c == 0xB9 || c == 0xB2 || c == 0xB3;
}

// Windows maps these names to devices in any folder, whatever extension follows
// and with spaces before the extension ignored.
bool IsReservedDeviceName(const uint8_t* name, int32_t length) {
  int32_t baseLength = 0;
  while (baseLength < length && name[baseLength] != '.') {
    ++baseLength;
  }
  while (baseLength > 0 && name[baseLength - 1] == ' ') {
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

bool IsRefusedCharacter(uint8_t c) {
  if (c < 0x20 || c == 0x7F) {
    return true;
  }
  switch (c) {
    case '\\':
    case '/':
    case ':':
    case '<':
    case '>':
    case '"':
    case '|':
    case '?':
    case '*':
      return true;
    default:
      return false;
  }
}

}  // namespace

bool IsSafeEntryName(const char* name, int32_t length) {
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(name);
  if (length <= 0) {
    return false;
  }
  // "." and ".." end in a dot, so the trailing-dot rule refuses them too.
  uint8_t last = bytes[length - 1];
  if (last == '.' || last == ' ') {
    return false;
  }
  for (int32_t i = 0; i < length; ++i) {
    if (IsRefusedCharacter(bytes[i])) {
      return false;
    }
  }
  return !IsReservedDeviceName(bytes, length);
}
