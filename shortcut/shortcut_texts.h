// The texts of the desktop shortcut, built from the installer's narrow texts.
#pragma once

#include "frame/ansi_text.h"

// path without any of its trailing "\" (a path of "\" only becomes empty).
AnsiText TrimTrailingBackslashes(const AnsiText& path);

// desktopPath without its trailing "\", then "\", shortcutName and ".lnk". An
// empty desktop path (a failed query) gives "\<name>.lnk".
AnsiText BuildLinkPath(const AnsiText& desktopPath, const AnsiText& shortcutName);

// targetPath followed by ",0": the first icon of the target program.
AnsiText BuildIconLocation(const AnsiText& targetPath);
