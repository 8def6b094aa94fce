// progress_driver: drives the progress display the way the extraction does,
// for the window watcher to look at. Set up like the installer (frame, COM,
// common controls, instance handle), it starts the display on the desktop
// window, replaces the caption, then runs its steps and closes the display.
//
// usage: progress_driver.exe [--step-ms N] [--hold-ms N] step...
//   N       the label text " N %" (as the extraction builds it), then position N
//   bar=N   position N alone
// --step-ms pauses after the start, after the caption and after every step;
// --hold-ms pauses once more before the close.
//
// Prints "window <handle>" and "closed <0|1>"; exit code 0 when the display
// came up, 1 when StartProgressDisplay returned null, 2 for a usage error.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "archive/extraction_progress.h"
#include "frame/frame_state_windows.h"
#include "frame/process_variables_windows.h"
#include "progress/progress_display.h"

namespace {

bool ParseNumber(const char* text, long* value) {
  char* end = nullptr;
  *value = std::strtol(text, &end, 10);
  return end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  long stepMs = 0;
  long holdMs = 0;
  int first = 1;
  for (; first < argc && std::strncmp(argv[first], "--", 2) == 0; ++first) {
    bool known = true;
    if (std::strcmp(argv[first], "--step-ms") == 0 && first + 1 < argc) {
      known = ParseNumber(argv[++first], &stepMs);
    } else if (std::strcmp(argv[first], "--hold-ms") == 0 && first + 1 < argc) {
      known = ParseNumber(argv[++first], &holdMs);
    } else {
      known = false;
    }
    if (!known) {
      std::fprintf(stderr, "progress_driver: bad option %s\n", argv[first]);
      return 2;
    }
  }

  if (!StartFrame()) {
    return 2;
  }
  CoInitialize(nullptr);
  ClearProcessVariables();
  instanceHandle = GetModuleHandleW(nullptr);
  InitCommonControls();

  HWND window = StartProgressDisplay(GetDesktopWindow());
  std::printf("window %p\n", static_cast<void*>(window));
  std::fflush(stdout);
  Sleep(stepMs);
  SetControlText(window, TextFrom("Extracting Installation Files..."));
  Sleep(stepMs);
  for (int i = first; i < argc; ++i) {
    bool barOnly = std::strncmp(argv[i], "bar=", 4) == 0;
    long percent = 0;
    if (!ParseNumber(argv[i] + (barOnly ? 4 : 0), &percent)) {
      std::fprintf(stderr, "progress_driver: bad step %s\n", argv[i]);
      return 2;
    }
    if (!barOnly) {
      char text[kPercentTextCapacity];
      FormatPercentText(static_cast<int32_t>(percent), text);
      SetControlText(ProgressLabelHandle(), TextFrom(text));
    }
    SetProgressPercent(static_cast<int32_t>(percent));
    Sleep(stepMs);
  }
  Sleep(holdMs);
  bool closed = CloseProgressDisplay();
  std::printf("closed %d\n", closed ? 1 : 0);
  std::fflush(stdout);

  EndFrame();
  CoUninitialize();
  return window != nullptr ? 0 : 1;
}
