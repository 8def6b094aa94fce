#include "shortcut/shortcut_texts.h"

AnsiText TrimTrailingBackslashes(const AnsiText& path) {
  int32_t length = path.length;
  while (length > 0 && path.chars[length - 1] == '\\') {
    --length;
  }
  return TextFromChars(path.chars, length);
}

AnsiText BuildIconLocation(const AnsiText& targetPath) {
  AnsiText location = targetPath;
  AppendText(&location, ",0");
  return location;
}
