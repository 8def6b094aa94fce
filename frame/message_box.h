// Message boxes of the installer: no owner window, a short pause before the box.
#pragma once

#include <cstdint>

#include "frame/ansi_text.h"

// Shows text and caption (converted to UTF-16) with the MessageBox type value
// style and returns the number of the button pressed.
int32_t ShowMessage(const AnsiText& text, const AnsiText& caption, uint32_t style);
