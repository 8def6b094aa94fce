// Message boxes of the installer: no owner window, a short pause before the box.
#pragma once

#include <cstdint>

#include "frame/ansi_text.h"

// Shows text and caption (converted to UTF-16) with the MessageBox type value
// style and returns the number of the button pressed.
int32_t ShowMessage(const AnsiText& text, const AnsiText& caption, uint32_t style);

// Shows Unable to <action> "<path>" ! with the installer's error caption and
// an OK button: the one form of the boxes about a folder or file that could
// not be made or written. The path is written in pathCodePage (0: the
// system's ANSI code page).
void ShowUnableMessage(const char* action, const AnsiText& path, uint32_t pathCodePage = 0);
