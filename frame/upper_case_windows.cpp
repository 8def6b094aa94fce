// Upper case for 8-bit text with the system's own ANSI mapping.
#include <windows.h>

#include "archive/entry_name.h"

void UpperCaseAnsi(char* text, int32_t length) {
  if (length > 0) {
    CharUpperBuffA(text, static_cast<DWORD>(length));
  }
}
