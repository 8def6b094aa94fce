#include "installer/install_drive.h"

AnsiText DriveOfWindowsDirectory(const AnsiText& windowsDirectory) {
  for (int32_t i = 0; i < windowsDirectory.length; ++i) {
    if (windowsDirectory.chars[i] == ':') {
      // i is the colon's position counted from 0; a colon in front is no drive.
      return i > 0 ? TextFromChars(windowsDirectory.chars, i + 1) : TextFrom("C:");
    }
  }
  return TextFrom("C:");
}
