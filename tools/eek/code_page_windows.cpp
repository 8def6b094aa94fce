// Code-page conversions through the system's own tables.
#include <windows.h>

#include <vector>

#include "tools/eek/code_page.h"

bool DecodeAnsi(int codePage, const std::string& bytes, std::u16string* units) {
  units->clear();
  if (!IsKnownCodePage(codePage)) {
    return false;
  }
  if (bytes.empty()) {
    return true;
  }
  int count = static_cast<int>(bytes.size());
  int needed = MultiByteToWideChar(static_cast<UINT>(codePage), MB_ERR_INVALID_CHARS, bytes.data(),
                                   count, nullptr, 0);
  if (needed <= 0) {
    return false;
  }
  std::vector<WCHAR> wide(static_cast<size_t>(needed));
  MultiByteToWideChar(static_cast<UINT>(codePage), MB_ERR_INVALID_CHARS, bytes.data(), count,
                      wide.data(), needed);
  units->assign(wide.begin(), wide.end());
  return true;
}

bool EncodeAnsi(int codePage, const std::u16string& units, std::string* bytes) {
  bytes->clear();
  if (!IsKnownCodePage(codePage)) {
    return false;
  }
  if (units.empty()) {
    return true;
  }
  std::vector<WCHAR> wide(units.begin(), units.end());
  int count = static_cast<int>(wide.size());
  BOOL defaulted = FALSE;
  int needed = WideCharToMultiByte(static_cast<UINT>(codePage), WC_NO_BEST_FIT_CHARS, wide.data(),
                                   count, nullptr, 0, nullptr, &defaulted);
  if (needed <= 0 || defaulted) {
    return false;
  }
  std::vector<char> out(static_cast<size_t>(needed));
  WideCharToMultiByte(static_cast<UINT>(codePage), WC_NO_BEST_FIT_CHARS, wide.data(), count,
                      out.data(), needed, nullptr, &defaulted);
  bytes->assign(out.begin(), out.end());
  return !defaulted;
}

char16_t UpperCaseUnit(char16_t unit) {
  WCHAR text[1] = {static_cast<WCHAR>(unit)};
  CharUpperBuffW(text, 1);
  return static_cast<char16_t>(text[0]);
}
