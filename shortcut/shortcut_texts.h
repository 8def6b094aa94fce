// The texts of the desktop shortcut, built from the installer's narrow texts.
#pragma once

#include "frame/ansi_text.h"

// path without any of its trailing "\" (a path of "\" only becomes empty).
AnsiText TrimTrailingBackslashes(const AnsiText& path);

// targetPath followed by ",0": the first icon of the target program.
AnsiText BuildIconLocation(const AnsiText& targetPath);
