// The demo product's setup program: the "setup.exe" that the installer starts
// and the desktop shortcut names. It installs nothing. It writes how it was
// started into "setup-started.txt" beside itself, then shows a window naming
// the product until the user closes it.
//
// setup-started.txt, UTF-8, one "key=value" line each:
//   program=<its own path>     folder=<current directory at start>
//   command=<its command line> show=<wShowWindow, or "none" without one>
//   process=<its process identifier>
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const WCHAR kWindowClass[] = L"OstrelTarvine64DemoSetup";
const WCHAR kRecordName[] = L"setup-started.txt";
const int kCloseButtonId = 1;

enum : int {
  kPathUnits = 32768,  // the longest path the system hands out
  kLineBytes = 4 * kPathUnits,
};

// Appends "key=value\r\n" to record (UTF-8), keeping within its capacity.
void AppendRecordLine(char* record, size_t capacity, const char* key, const WCHAR* value) {
  static char converted[kLineBytes];
  int length =
      WideCharToMultiByte(CP_UTF8, 0, value, -1, converted, sizeof(converted), nullptr, nullptr);
  if (length <= 0) {
    converted[0] = '\0';
  }
  size_t used = std::strlen(record);
  std::snprintf(record + used, capacity - used, "%s=%s\r\n", key, converted);
}

void WriteStartRecord() {
  static WCHAR program[kPathUnits];
  static WCHAR folder[kPathUnits];
  static WCHAR recordPath[kPathUnits];
  static char record[4 * kLineBytes];

  DWORD programLength = GetModuleFileNameW(nullptr, program, kPathUnits);
  if (programLength == 0 || programLength >= kPathUnits) {
    return;
  }
  if (GetCurrentDirectoryW(kPathUnits, folder) == 0) {
    folder[0] = 0;
  }
  STARTUPINFOW startup;
  std::memset(&startup, 0, sizeof(startup));
  startup.cb = sizeof(startup);
  GetStartupInfoW(&startup);
  WCHAR show[16] = L"none";
  if ((startup.dwFlags & STARTF_USESHOWWINDOW) != 0) {
    _snwprintf(show, 16, L"%u", static_cast<unsigned>(startup.wShowWindow));
  }
  WCHAR process[16];
  _snwprintf(process, 16, L"%lu", GetCurrentProcessId());

  record[0] = '\0';
  AppendRecordLine(record, sizeof(record), "program", program);
  AppendRecordLine(record, sizeof(record), "folder", folder);
  AppendRecordLine(record, sizeof(record), "command", GetCommandLineW());
  AppendRecordLine(record, sizeof(record), "show", show);
  AppendRecordLine(record, sizeof(record), "process", process);

  // The record goes beside the program: its folder is the path up to the last "\".
  std::memcpy(recordPath, program, sizeof(WCHAR) * (programLength + 1));
  WCHAR* lastSeparator = wcsrchr(recordPath, L'\\');
  WCHAR* name = lastSeparator != nullptr ? lastSeparator + 1 : recordPath;
  if (static_cast<size_t>(name - recordPath) + wcslen(kRecordName) + 1 > kPathUnits) {
    return;
  }
  std::memcpy(name, kRecordName, sizeof(kRecordName));

  // Written under a temporary name and renamed, so that a reader never sees half a record.
  static WCHAR partialPath[kPathUnits + 8];
  _snwprintf(partialPath, kPathUnits + 8, L"%ls.part", recordPath);
  HANDLE file = CreateFileW(partialPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return;
  }
  DWORD written = 0;
  BOOL wrote = WriteFile(file, record, static_cast<DWORD>(std::strlen(record)), &written, nullptr);
  CloseHandle(file);
  if (wrote) {
    MoveFileExW(partialPath, recordPath, MOVEFILE_REPLACE_EXISTING);
  } else {
    DeleteFileW(partialPath);
  }
}

LRESULT CALLBACK HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == kCloseButtonId || LOWORD(wParam) == IDCANCEL) {
        DestroyWindow(window);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

HWND AddControl(HWND parent, const WCHAR* className, const WCHAR* text, DWORD style, int x, int y,
                int width, int height, int id) {
  HWND control = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width,
                                 height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               TRUE);
  return control;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  WriteStartRecord();

  WNDCLASSEXW windowClass;
  std::memset(&windowClass, 0, sizeof(windowClass));
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = HandleMessage;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  if (RegisterClassExW(&windowClass) == 0) {
    return 1;
  }
  HWND window = CreateWindowExW(0, kWindowClass, L"Ostrel Tarvine64 Setup",
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                                CW_USEDEFAULT, 440, 200, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) {
    return 1;
  }
  AddControl(window, L"STATIC", L"Ostrel Tarvine64", SS_LEFT, 20, 16, 380, 20, 0);
  AddControl(window, L"STATIC",
             L"This is the setup program of the demo product. It installs nothing; "
             L"the installer has unpacked the product's files beside it.",
             SS_LEFT, 20, 44, 390, 48, 0);
  AddControl(window, L"BUTTON", L"Close", BS_DEFPUSHBUTTON | WS_TABSTOP, 320, 110, 90, 28,
             kCloseButtonId);
  ShowWindow(window, showCommand);
  UpdateWindow(window);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(window, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return 0;
}
