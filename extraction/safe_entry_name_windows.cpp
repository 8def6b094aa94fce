// The safe-name rule on the UTF-16 form of an ANSI entry name.
#include "extraction/safe_entry_name_windows.h"

#include "archive/entry_name.h"
#include "frame/ansi_text.h"
#include "frame/text_conversion_windows.h"

bool IsSafeAnsiEntryName(const char* name, int32_t length, UINT codePage) {
  WideText wide = ToWide(TextFromChars(name, length), codePage);
  char16_t units[kTextCapacity + 1];
  for (int32_t i = 0; i < wide.length; ++i) {
    units[i] = static_cast<char16_t>(wide.units[i]);
  }
  return IsSafeEntryName(units, wide.length);
}

namespace {

// True when codePage has unit, alone, without a best-fit replacement.
bool CodePageHas(UINT codePage, WCHAR unit) {
  char bytes[8];
  BOOL lossy = FALSE;
  int written = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, &unit, 1, bytes, sizeof bytes,
                                    nullptr, &lossy);
  return written > 0 && !lossy;
}

}  // namespace

AnsiText UpperCaseName(const char* name, int32_t length) {
  AnsiText upper = TextFromChars(name, length);
  if (upper.length > 0) {
    CharUpperBuffA(upper.chars, static_cast<DWORD>(upper.length));
  }
  return upper;
}

AnsiText UpperCaseNameInCodePage(const char* name, int32_t length, UINT codePage) {
  AnsiText trimmed = TextFromChars(name, length);
  int32_t count = trimmed.length;
  if (count == 0) {
    return trimmed;
  }
  WCHAR units[kTextCapacity + 1];
  int unitCount = MultiByteToWideChar(codePage, MB_PRECOMPOSED | MB_ERR_INVALID_CHARS,
                                      trimmed.chars, count, units, kTextCapacity);
  if (unitCount <= 0) {
    return trimmed;
  }
  for (int i = 0; i < unitCount; ++i) {
    WCHAR upper = units[i];
    if (upper >= 0xD800 && upper <= 0xDFFF) {
      continue;  // surrogates keep their case
    }
    CharUpperBuffW(&upper, 1);
    if (upper != units[i] && CodePageHas(codePage, upper)) {
      units[i] = upper;
    }
  }
  AnsiText normalised = EmptyText();
  BOOL lossy = FALSE;
  int written = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, units, unitCount,
                                    normalised.chars, kTextCapacity, nullptr, &lossy);
  if (written <= 0 || lossy) {
    return trimmed;
  }
  normalised.length = written;
  normalised.chars[written] = '\0';
  return normalised;
}
