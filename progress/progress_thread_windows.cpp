#include "progress/progress_thread_windows.h"

#include <objbase.h>

#include "frame/frame_state_windows.h"
#include "frame/system_calls_windows.h"
#include "progress/progress_shared_windows.h"
#include "progress/progress_window_windows.h"

namespace {

const DWORD kProgressThreadExitCode = 1;

void RunMessageLoop() {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace

DWORD WINAPI ProgressThreadMain(LPVOID parent) {
  CoInitialize(nullptr);
  AcquireFrameState();
  HWND window = CreateProgressWindow(static_cast<HWND>(parent));
  if (window != nullptr && LoadShared(&progressShared.windowHandle) == window) {
    RunMessageLoop();
  } else {
    // No window of this class came up: the class could not be registered and
    // a class of that name from elsewhere refused the window or made one that
    // is not ours, or the window itself was refused (an invalid parent, no
    // resources). Nothing would ever end a message loop here, and the thread
    // waiting for the window must learn that there is none.
    if (window != nullptr) {
      DestroyWindow(window);
    }
    StoreShared(&progressShared.windowHandle, static_cast<HWND>(nullptr));
  }
  CoUninitialize();
  ReleaseFrameState();
  return kProgressThreadExitCode;
}
