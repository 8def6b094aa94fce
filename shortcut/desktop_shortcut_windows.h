// The two halves of CreateDesktopShortcut: obtaining the shell object, and the
// work done with it, which takes any object with the shell's function table.
#pragma once

#include <windows.h>

#include <cstdint>

#include "frame/ansi_text.h"
#include "frame/text_conversion_windows.h"
#include "shortcut/wsh_interfaces_windows.h"

// A new instance of the class named progId, asked for IWshShell; null when the
// name is not registered or the instance cannot be made.
IWshShell* ObtainShellObject(const WCHAR* progId);

// The shortcut "<desktopPath>\<shortcutName>.lnk" made through shell, which may
// be null (then nothing happens). An empty desktopPath (the desktop folder
// could not be found) makes no shortcut. Takes over the reference to shell and
// releases it, after the shortcut object. Returns 1.
int32_t WriteDesktopShortcut(IWshShell* shell, const WideText& desktopPath,
                             const AnsiText& targetPath, const AnsiText& workingFolder,
                             const AnsiText& shortcutName);
