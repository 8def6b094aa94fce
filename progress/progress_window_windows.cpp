#include "progress/progress_window_windows.h"

#include <commctrl.h>

#include "contract/installer_contract.h"
#include "frame/process_variables_windows.h"
#include "frame/system_calls_windows.h"
#include "progress/progress_layout.h"
#include "progress/progress_shared_windows.h"
#include "texts/installer_texts.h"

namespace {

const char kBarClassName[] = "msctls_progress32";
const DWORD kWindowStyle = WS_VISIBLE | WS_CAPTION;
const DWORD kLabelStyle = WS_CHILD | WS_VISIBLE | SS_LEFT;
const DWORD kBarStyle = WS_CHILD | WS_VISIBLE | PBS_SMOOTH;
const int32_t kBarRangeEnd = 100;
const int32_t kBarStartPosition = 1;

// Control names and texts handed to CreateWindowExA: 254 characters and a zero.
enum : int32_t { kChildNameCapacity = 254 };

void CopyCut(const char* from, char* to) {
  int32_t count = 0;
  while (count < kChildNameCapacity && from[count] != '\0') {
    to[count] = from[count];
    ++count;
  }
  to[count] = '\0';
}

void RegisterProgressClass() {
  WNDCLASSA windowClass;
  ZeroMemory(&windowClass, sizeof(windowClass));
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = ProgressWindowProc;
  windowClass.hInstance = instanceHandle;
  windowClass.hIcon = LoadIconA(instanceHandle, kIconGroupName);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = kProgressClassName;
  RegisterClassA(&windowClass);
}

// The label and the bar, then the bar's range and first position (posted, so
// they come before anything another thread posts later), then the window
// itself: the thread waiting for it sees both children once it sees it.
void MakeProgressControls(HWND window) {
  HWND label = CreateScaledChild("STATIC", "", kLabelStyle, 20, 20, 280, 20, window,
                                 kProgressLabelId, instanceHandle);
  StoreShared(&progressShared.labelHandle, label);
  HWND bar = CreateScaledChild(kBarClassName, "", kBarStyle, 20, 50, 280, 18, window,
                               kProgressBarId, instanceHandle);
  StoreShared(&progressShared.barHandle, bar);
  // A null target would make these thread messages of the progress thread.
  if (bar != nullptr) {
    PostMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, kBarRangeEnd));
    PostMessageA(bar, PBM_SETPOS, kBarStartPosition, 0);
  }
  StoreShared(&progressShared.windowHandle, window);
}

}  // namespace

HWND CreateScaledChild(const char* className, const char* text, uint32_t style, int32_t x,
                       int32_t y, int32_t width, int32_t height, HWND parent, uint32_t id,
                       HINSTANCE instance) {
  char classBuffer[kChildNameCapacity + 1];
  char textBuffer[kChildNameCapacity + 1];
  CopyCut(className, classBuffer);
  CopyCut(text, textBuffer);
  ScreenRect reference = {x, y, width, height};
  ScreenRect scaled =
      ScaleReferenceRect(reference, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  return CreateWindowExA(0, classBuffer, textBuffer, style, scaled.x, scaled.y, scaled.width,
                         scaled.height, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                         instance, nullptr);
}

HWND CreateProgressWindow(HWND parent) {
  RegisterProgressClass();
  ScreenRect layout =
      LayoutProgressWindow(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  HWND window = CreateWindowExA(0, kProgressClassName, kProgressInitialCaption, kWindowStyle,
                                layout.x, layout.y, layout.width, layout.height, parent, nullptr,
                                instanceHandle, nullptr);
  if (window != nullptr) {
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
  }
  return window;
}

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      MakeProgressControls(window);
      break;
    case WM_PAINT: {
      // Nothing to draw: the class brush fills the background.
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      break;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
