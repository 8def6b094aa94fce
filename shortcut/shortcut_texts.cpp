#include "shortcut/shortcut_texts.h"

AnsiText TrimTrailingBackslashes(const AnsiText& path) {
  int32_t length = path.length;
  while (length > 0 && path.chars[length - 1] == '\\') {
    --length;
  }
  return TextFromChars(path.chars, length);
}

AnsiText BuildLinkPath(const AnsiText& desktopPath, const AnsiText& shortcutName) {
  AnsiText link = TrimTrailingBackslashes(desktopPath);
  AppendText(&link, "\\");
  AppendText(&link, shortcutName);
  AppendText(&link, ".lnk");
  return link;
}

AnsiText BuildIconLocation(const AnsiText& targetPath) {
  AnsiText location = targetPath;
  AppendText(&location, ",0");
  return location;
}
