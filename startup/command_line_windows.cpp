#include "startup/command_line_windows.h"

const WCHAR* CommandLineTail(const WCHAR* commandLine) {
  const WCHAR* position = commandLine;
  if (*position == L'"') {
    ++position;
    while (*position != 0 && *position != L'"') {
      ++position;
    }
    if (*position == L'"') {
      ++position;
    }
  } else {
    while (*position > L' ') {
      ++position;
    }
  }
  while (*position == L' ') {
    ++position;
  }
  return position;
}

int ShowCommandOf(const STARTUPINFOA& startup) {
  return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
}
