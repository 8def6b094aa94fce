// The safe-name rule on the UTF-16 form of an ANSI entry name.
#include "extraction/safe_entry_name_windows.h"

#include "archive/entry_name.h"
#include "frame/ansi_text.h"
#include "frame/text_conversion_windows.h"

bool IsSafeAnsiEntryName(const char* name, int32_t length) {
  WideText wide = ToWide(TextFromChars(name, length));
  char16_t units[kTextCapacity + 1];
  for (int32_t i = 0; i < wide.length; ++i) {
    units[i] = static_cast<char16_t>(wide.units[i]);
  }
  return IsSafeEntryName(units, wide.length);
}
