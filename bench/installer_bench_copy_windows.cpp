// The yardstick of the installer benchmark (scripts/bench-installer.sh): copies
// the plain files of a folder into a new folder with CopyFileW, then shows a
// box, so that the window watcher times it from start to box exactly as it
// times the installer from start to its final message.
//
// usage: installer_bench_copy.exe <source folder> <new destination folder>
#include <windows.h>
#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr || count != 3) {
    return 2;
  }
  const std::wstring source = arguments[1], destination = arguments[2];
  if (!CreateDirectoryW(destination.c_str(), nullptr)) {
    return 1;
  }
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((source + L"\\*").c_str(), &found);
  int copied = 0, failed = 0;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        continue;
      }
      const std::wstring name = found.cFileName;
      if (CopyFileW((source + L"\\" + name).c_str(), (destination + L"\\" + name).c_str(), TRUE)) {
        ++copied;
      } else {
        ++failed;
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  const std::wstring report =
      L"Copied " + std::to_wstring(copied) + L" files, " + std::to_wstring(failed) + L" failed";
  MessageBoxW(nullptr, report.c_str(), L"Copy finished", MB_OK | MB_SYSTEMMODAL);
  LocalFree(arguments);
  return failed == 0 ? 0 : 1;
}
