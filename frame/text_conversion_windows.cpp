#include "frame/text_conversion_windows.h"

namespace {

WideText EmptyWide() {
  WideText text;
  text.length = 0;
  text.units[0] = 0;
  return text;
}

}  // namespace

bool ReencodeText(const AnsiText& text, UINT codePage, AnsiText* out) {
  *out = EmptyText();
  if (text.length == 0) {
    return true;
  }
  WideText wide = ToWide(text);
  if (wide.length == 0) {
    return false;
  }
  BOOL lossy = FALSE;
  int converted = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.units, wide.length,
                                      out->chars, kTextCapacity, nullptr, &lossy);
  if (converted <= 0 || lossy) {
    *out = EmptyText();
    return false;
  }
  out->length = converted;
  out->chars[converted] = '\0';
  return true;
}

WideText ToWide(const AnsiText& text, UINT codePage) {
  WideText wide = EmptyWide();
  if (text.length <= 0) {
    return wide;
  }
  int needed = MultiByteToWideChar(codePage, MB_PRECOMPOSED, text.chars, text.length, nullptr, 0);
  if (needed <= 0 || needed > kTextCapacity) {
    return wide;
  }
  int converted =
      MultiByteToWideChar(codePage, MB_PRECOMPOSED, text.chars, text.length, wide.units, needed);
  if (converted <= 0) {
    return wide;
  }
  wide.length = converted;
  wide.units[converted] = 0;
  return wide;
}

AnsiText ToAnsi(const WideText& text) {
  AnsiText ansi = EmptyText();
  if (text.length <= 0) {
    return ansi;
  }
  int needed =
      WideCharToMultiByte(CP_ACP, 0, text.units, text.length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0 || needed > kTextCapacity) {
    return ansi;
  }
  int converted =
      WideCharToMultiByte(CP_ACP, 0, text.units, text.length, ansi.chars, needed, nullptr, nullptr);
  if (converted <= 0) {
    return ansi;
  }
  ansi.length = converted;
  ansi.chars[converted] = '\0';
  return ansi;
}

AnsiText ToAnsi(const WCHAR* zeroTerminated) {
  WideText wide = EmptyWide();
  AppendWide(&wide, zeroTerminated);
  return ToAnsi(wide);
}

void TruncateWide(WideText* text, int32_t maxUnits) {
  if (text->length > maxUnits) {
    text->length = maxUnits < 0 ? 0 : maxUnits;
    text->units[text->length] = 0;
  }
}

void AppendWide(WideText* text, const WCHAR* zeroTerminated) {
  while (*zeroTerminated != 0 && text->length < kTextCapacity) {
    text->units[text->length++] = *zeroTerminated++;
  }
  text->units[text->length] = 0;
}

bool DoesWideEndWith(const WideText& text, char first, char second) {
  if (text.length == 0) {
    return false;
  }
  WCHAR last = text.units[text.length - 1];
  return last == static_cast<WCHAR>(first) || last == static_cast<WCHAR>(second);
}

bool DoesWideContain(const WideText& text, char first, char second) {
  for (int32_t i = 0; i < text.length; ++i) {
    if (text.units[i] == static_cast<WCHAR>(first) || text.units[i] == static_cast<WCHAR>(second)) {
      return true;
    }
  }
  return false;
}
