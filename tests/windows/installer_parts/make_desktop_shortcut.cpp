// Makes the desktop shortcut as the installer does, for the host's look at the
// file. usage: make_desktop_shortcut.exe <target path> <working folder> <name>
#include <windows.h>
#include <objbase.h>

#include "frame/frame_state_windows.h"
#include "shortcut/desktop_shortcut.h"

int main(int argc, char** argv) {
  if (argc != 4 || !StartFrame()) {
    return 2;
  }
  CoInitialize(nullptr);
  CreateDesktopShortcut(TextFrom(argv[1]), TextFrom(argv[2]), TextFrom(argv[3]));
  CoUninitialize();
  EndFrame();
  return 0;
}
