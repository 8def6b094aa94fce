// The shortcut to the unpacked setup program on the current user's desktop,
// written by the shell automation object "WScript.Shell". COM must be
// initialised on the calling thread.
#pragma once

#include <cstdint>

#include "frame/ansi_text.h"

// Writes "<desktop>\<shortcutName>.lnk" starting targetPath in workingFolder
// (trailing "\" removed) in a normal window, with no arguments, the first icon
// of targetPath and shortcutName as description. Nothing is shown or reported:
// without the shell object, without a desktop folder, or when the shortcut
// cannot be made or saved, there is simply no shortcut. Returns 1.
int32_t CreateDesktopShortcut(const AnsiText& targetPath, const AnsiText& workingFolder,
                              const AnsiText& shortcutName);
