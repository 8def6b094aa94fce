#include "window_record.h"

#include <commctrl.h>

#include <vector>

#include "message_box_reader.h"

namespace {

const UINT kBarQueryTimeoutMs = 200;

std::wstring ClassOf(HWND window) {
  wchar_t buffer[256];
  int length = GetClassNameW(window, buffer, 256);
  return std::wstring(buffer, length > 0 ? length : 0);
}

// The stored text, without a message to the window (works across processes).
std::wstring StoredTextOf(HWND window) {
  wchar_t buffer[4096];
  int length = InternalGetWindowText(window, buffer, 4096);
  return std::wstring(buffer, length > 0 ? length : 0);
}

std::string RectField(const RECT& rect) {
  return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
         std::to_string(rect.right - rect.left) + "," + std::to_string(rect.bottom - rect.top);
}

bool AskBar(HWND bar, UINT message, WPARAM wParam, int* answer) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(bar, message, wParam, 0, SMTO_ABORTIFHUNG, kBarQueryTimeoutMs,
                           &result)) {
    return false;
  }
  *answer = static_cast<int>(result);
  return true;
}

WindowSnapshot TakeSnapshot(HWND window, HWND parent) {
  WindowSnapshot snapshot{};
  snapshot.className = ClassOf(window);
  snapshot.text = StoredTextOf(window);
  GetWindowRect(window, &snapshot.rect);
  if (parent != nullptr) {
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&snapshot.rect), 2);
  }
  snapshot.style = GetWindowLongW(window, GWL_STYLE);
  snapshot.exStyle = GetWindowLongW(window, GWL_EXSTYLE);
  snapshot.owner = GetWindow(window, GW_OWNER);
  snapshot.id = parent != nullptr ? GetDlgCtrlID(window) : 0;
  snapshot.position = -1;
  if (_wcsicmp(snapshot.className.c_str(), PROGRESS_CLASSW) == 0) {
    int position = -1, low = 0, high = 0;
    if (AskBar(window, PBM_GETPOS, 0, &position) && AskBar(window, PBM_GETRANGE, TRUE, &low) &&
        AskBar(window, PBM_GETRANGE, FALSE, &high)) {
      snapshot.position = position;
      snapshot.rangeLow = low;
      snapshot.rangeHigh = high;
    }
  }
  return snapshot;
}

std::string TopLevelFields(HWND window, const WindowSnapshot& s) {
  return "hwnd=" + HexOf(reinterpret_cast<uintptr_t>(window)) +
         "\tclass=" + FieldText(s.className) + "\tcaption=" + FieldText(s.text) +
         "\trect=" + RectField(s.rect) + "\tstyle=" + HexOf(static_cast<DWORD>(s.style)) +
         "\texstyle=" + HexOf(static_cast<DWORD>(s.exStyle)) +
         "\towner=" + HexOf(reinterpret_cast<uintptr_t>(s.owner)) +
         "\tvisible=" + ((s.style & WS_VISIBLE) ? "1" : "0") +
         "\tenabled=" + ((s.style & WS_DISABLED) ? "0" : "1");
}

std::string ChildFields(HWND parent, HWND child, const WindowSnapshot& s) {
  std::string fields =
      "parent=" + HexOf(reinterpret_cast<uintptr_t>(parent)) +
      "\thwnd=" + HexOf(reinterpret_cast<uintptr_t>(child)) + "\tclass=" + FieldText(s.className) +
      "\tid=" + std::to_string(s.id) + "\trect=" + RectField(s.rect) +
      "\tstyle=" + HexOf(static_cast<DWORD>(s.style)) +
      "\tvisible=" + ((s.style & WS_VISIBLE) ? "1" : "0") + "\ttext=" + FieldText(s.text);
  if (s.position >= 0) {
    fields += "\tpos=" + std::to_string(s.position) + "\trange=" + std::to_string(s.rangeLow) +
              "," + std::to_string(s.rangeHigh);
  }
  return fields;
}

struct TopLevelSearch {
  DWORD processId;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM context) {
  TopLevelSearch* search = reinterpret_cast<TopLevelSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId) {
    search->windows.push_back(window);
  }
  return TRUE;
}

BOOL CALLBACK CollectChildren(HWND child, LPARAM context) {
  reinterpret_cast<std::vector<HWND>*>(context)->push_back(child);
  return TRUE;
}

struct ThreadWindows {
  HWND box;
  int count;
  int disabled;
};

BOOL CALLBACK CountThreadWindow(HWND window, LPARAM context) {
  ThreadWindows* windows = reinterpret_cast<ThreadWindows*>(context);
  if (window != windows->box && IsWindowVisible(window)) {
    windows->count += 1;
    windows->disabled += IsWindowEnabled(window) ? 0 : 1;
  }
  return TRUE;
}

// Writes the line if the window's fields differ from its last line.
void RecordIfChanged(WindowRecord* record, HWND window, const std::string& kind,
                     const std::string& fields) {
  std::string& last = record->shown[window];
  if (last != kind + fields) {
    last = kind + fields;
    WriteObservation(record, kind, fields);
  }
}

}  // namespace

std::string HexOf(uintptr_t value) {
  char buffer[32];
  std::snprintf(buffer, sizeof(buffer), "0x%llx", static_cast<unsigned long long>(value));
  return buffer;
}

std::string FieldText(const std::wstring& text) {
  std::string out;
  for (char c : ToUtf8(text)) {
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void StartWindowRecord(WindowRecord* record, FILE* file, DWORD processId) {
  record->file = file;
  record->processId = processId;
  QueryPerformanceFrequency(&record->frequency);
  QueryPerformanceCounter(&record->start);
}

void WriteObservation(WindowRecord* record, const std::string& kind, const std::string& fields) {
  if (record->file == nullptr) {
    return;
  }
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  long long ms = (now.QuadPart - record->start.QuadPart) * 1000 / record->frequency.QuadPart;
  std::string line =
      "t=" + std::to_string(ms) + "\t" + kind + (fields.empty() ? "" : "\t") + fields + "\n";
  std::fwrite(line.data(), 1, line.size(), record->file);
  std::fflush(record->file);
}

std::string DescribeMessageBox(HWND box) {
  MessageBoxView view = ReadMessageBox(box);
  std::string buttons;
  for (const std::wstring& button : view.buttons) {
    buttons += (buttons.empty() ? "" : "|") + FieldText(button);
  }
  LONG exStyle = GetWindowLongW(box, GWL_EXSTYLE);
  ThreadWindows others{box, 0, 0};
  EnumThreadWindows(GetWindowThreadProcessId(box, nullptr), CountThreadWindow,
                    reinterpret_cast<LPARAM>(&others));
  bool topmost = (exStyle & WS_EX_TOPMOST) != 0;
  // A system-modal box stays above every other window; a task-modal one
  // without owner disables the other windows of its thread, which shows only
  // when the thread has visible windows besides the box.
  const char* modal = topmost ? "system" : others.disabled > 0 ? "task" : "none";
  return "hwnd=" + HexOf(reinterpret_cast<uintptr_t>(box)) +
         "\tcaption=" + FieldText(view.caption) + "\ttext=" + FieldText(view.text) +
         "\tbuttons=" + buttons + "\ticon=" + (view.hasIcon ? "yes" : "no") +
         "\tstyle=" + HexOf(static_cast<DWORD>(GetWindowLongW(box, GWL_STYLE))) +
         "\texstyle=" + HexOf(static_cast<DWORD>(exStyle)) +
         "\towner=" + HexOf(reinterpret_cast<uintptr_t>(GetWindow(box, GW_OWNER))) +
         "\ttopmost=" + (topmost ? "1" : "0") + "\tthread_windows=" + std::to_string(others.count) +
         "\tdisabled=" + std::to_string(others.disabled) + "\tmodal=" + modal;
}

std::set<HWND> ObserveWindows(WindowRecord* record) {
  TopLevelSearch search{record->processId, {}};
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
  std::set<HWND> fresh;
  std::set<HWND> present;
  for (HWND window : search.windows) {
    bool recorded = record->shown.count(window) != 0;
    if (!recorded && !IsWindowVisible(window)) {
      continue;  // hidden helper windows of the system: nothing a person sees
    }
    std::wstring className = ClassOf(window);
    if (className.empty()) {
      continue;  // being destroyed: no state a person sees; "gone" follows
    }
    if (className == L"#32770") {
      present.insert(window);
      if (record->boxes.insert(window).second) {
        WriteObservation(record, "box", DescribeMessageBox(window));
        fresh.insert(window);
      }
      continue;
    }
    present.insert(window);
    RecordIfChanged(record, window, "window",
                    TopLevelFields(window, TakeSnapshot(window, nullptr)));
    std::vector<HWND> children;
    EnumChildWindows(window, CollectChildren, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
      HWND parent = GetAncestor(child, GA_PARENT);
      present.insert(child);
      if (ClassOf(child).empty()) {
        continue;  // being destroyed with its window
      }
      RecordIfChanged(record, child, "child",
                      ChildFields(parent, child, TakeSnapshot(child, parent)));
    }
  }
  for (auto it = record->shown.begin(); it != record->shown.end();) {
    if (present.count(it->first) == 0 && !IsWindow(it->first)) {
      WriteObservation(record, "gone", "hwnd=" + HexOf(reinterpret_cast<uintptr_t>(it->first)));
      it = record->shown.erase(it);
    } else {
      ++it;
    }
  }
  for (auto it = record->boxes.begin(); it != record->boxes.end();) {
    it = IsWindow(*it) ? std::next(it) : record->boxes.erase(it);
  }
  return fresh;
}
