#include "message_box_reader.h"

namespace {

std::wstring WindowText(HWND window) {
  wchar_t buffer[4096];
  int length = GetWindowTextW(window, buffer, 4096);
  return std::wstring(buffer, length > 0 ? length : 0);
}

std::wstring ClassOf(HWND window) {
  wchar_t buffer[256];
  int length = GetClassNameW(window, buffer, 256);
  return std::wstring(buffer, length > 0 ? length : 0);
}

struct BoxSearch {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM context) {
  BoxSearch* search = reinterpret_cast<BoxSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && IsWindowVisible(window) && ClassOf(window) == L"#32770") {
    search->found.push_back(window);
  }
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM context) {
  MessageBoxView* view = reinterpret_cast<MessageBoxView*>(context);
  if (!IsWindowVisible(child)) {
    return TRUE;
  }
  std::wstring kind = ClassOf(child);
  if (_wcsicmp(kind.c_str(), L"Button") == 0) {
    view->buttons.push_back(WindowText(child));
  } else if (_wcsicmp(kind.c_str(), L"Static") == 0) {
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      view->hasIcon = view->hasIcon || SendMessageW(child, STM_GETICON, 0, 0) != 0;
    } else if (view->text.empty()) {
      view->text = WindowText(child);
    }
  }
  return TRUE;
}

}  // namespace

std::vector<HWND> FindMessageBoxes(DWORD processId) {
  BoxSearch search{processId, {}};
  EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

MessageBoxView ReadMessageBox(HWND window) {
  MessageBoxView view{window, WindowText(window), L"", {}, false};
  EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&view));
  return view;
}

void PressMessageBoxButton(HWND window) {
  HWND button = GetDlgItem(window, IDOK);
  int id = IDOK;
  if (button == nullptr) {
    button = FindWindowExW(window, nullptr, L"Button", nullptr);
    id = GetDlgCtrlID(button);
  }
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    std::vector<HWND> boxes = FindMessageBoxes(processId);
    if (!boxes.empty()) {
      return boxes.front();
    }
    Sleep(20);
  }
  return nullptr;
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) {
    return std::string();
  }
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                      nullptr, nullptr);
  return out;
}
