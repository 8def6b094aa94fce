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
// --seen-in RECORD holds every state (the start, the caption, each step)
// until the window watcher writing RECORD has recorded it: the caption, the
// label text and the bar position it last read are those the display shows.
// So the watcher sees every state however slowly either program runs.
//
// Prints "window <handle>" and "closed <0|1>"; exit code 0 when the display
// came up, 1 when StartProgressDisplay returned null, 2 for a usage error, 3
// when the watcher did not record a state within a minute.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

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

// What the display shows: the caption, the label text and the bar position.
struct ShownState {
  std::string caption;
  std::string label;
  long position;
};

// The value of "\tname=" in a tab-separated record line, or "" without one.
std::string FieldOf(const std::string& line, const std::string& name) {
  size_t at = line.find("\t" + name + "=");
  if (at == std::string::npos) {
    return "";
  }
  at += name.size() + 2;
  size_t end = line.find('\t', at);
  return line.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

// The state that the watcher last recorded for the window, from its record.
ShownState LastRecorded(const char* recordPath, HWND window) {
  char hex[32];
  std::snprintf(hex, sizeof(hex), "0x%llx",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
  const std::string windowField = std::string("\thwnd=") + hex + "\t";
  const std::string parentField = std::string("\tparent=") + hex + "\t";
  ShownState state = {"", "", -1};
  std::ifstream record(recordPath, std::ios::binary);
  for (std::string line; std::getline(record, line);) {
    line += '\t';
    if (line.find("\twindow\t") != std::string::npos &&
        line.find(windowField) != std::string::npos) {
      state.caption = FieldOf(line, "caption");
    } else if (line.find("\tchild\t") != std::string::npos &&
               line.find(parentField) != std::string::npos) {
      std::string id = FieldOf(line, "id");
      if (id == "100") {
        state.label = FieldOf(line, "text");
      } else if (id == "200" && !FieldOf(line, "pos").empty()) {
        state.position = std::strtol(FieldOf(line, "pos").c_str(), nullptr, 10);
      }
    }
  }
  return state;
}

// Waits until the watcher has recorded the expected state; false after a minute.
bool WaitUntilRecorded(const char* recordPath, HWND window, const ShownState& expected) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < 60000; Sleep(10)) {
    ShownState seen = LastRecorded(recordPath, window);
    if (seen.caption == expected.caption && seen.label == expected.label &&
        seen.position == expected.position) {
      return true;
    }
  }
  std::fprintf(stderr, "progress_driver: the watcher did not record \"%s\", \"%s\", %ld\n",
               expected.caption.c_str(), expected.label.c_str(), expected.position);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  long stepMs = 0;
  long holdMs = 0;
  const char* recordPath = nullptr;
  int first = 1;
  for (; first < argc && std::strncmp(argv[first], "--", 2) == 0; ++first) {
    bool known = true;
    if (std::strcmp(argv[first], "--step-ms") == 0 && first + 1 < argc) {
      known = ParseNumber(argv[++first], &stepMs);
    } else if (std::strcmp(argv[first], "--hold-ms") == 0 && first + 1 < argc) {
      known = ParseNumber(argv[++first], &holdMs);
    } else if (std::strcmp(argv[first], "--seen-in") == 0 && first + 1 < argc) {
      recordPath = argv[++first];
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
  // The display starts with its own caption, an empty label and the bar at 1.
  ShownState shown = {"Extracting Files", "", 1};
  bool recorded = true;
  auto hold = [&] {
    Sleep(stepMs);
    if (recordPath != nullptr && window != nullptr && recorded) {
      recorded = WaitUntilRecorded(recordPath, window, shown);
    }
  };
  hold();
  SetControlText(window, TextFrom("Extracting Installation Files..."));
  shown.caption = "Extracting Installation Files...";
  hold();
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
      shown.label = text;
    }
    SetProgressPercent(static_cast<int32_t>(percent));
    shown.position = percent < 1 ? 1 : percent > 100 ? 100 : percent;
    hold();
  }
  Sleep(holdMs);
  bool closed = CloseProgressDisplay();
  std::printf("closed %d\n", closed ? 1 : 0);
  std::fflush(stdout);

  EndFrame();
  CoUninitialize();
  return window == nullptr ? 1 : recorded ? 0 : 3;
}
