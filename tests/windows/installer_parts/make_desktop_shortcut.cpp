// Puts a desktop shortcut in place the way the installer does, for the host's
// check of the shortcut file.
//
// usage: make_desktop_shortcut.exe <target path> <working folder> <shortcut name>
#include <windows.h>
#include <objbase.h>

#include <cstdio>

#include "frame/frame_state_windows.h"
#include "shortcut/desktop_shortcut.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: make_desktop_shortcut <target path> <working folder> <shortcut name>\n",
               stderr);
    return 2;
  }
  if (!StartFrame()) {
    return 3;
  }
  CoInitialize(nullptr);
  int32_t result = CreateDesktopShortcut(TextFrom(argv[1]), TextFrom(argv[2]), TextFrom(argv[3]));
  CoUninitialize();
  EndFrame();
  return result == 1 ? 0 : 1;
}
