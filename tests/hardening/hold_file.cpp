// Holds a file open without sharing, as another program may while the
// installer runs: opens (or creates) the file with share mode 0, then creates
// "<file>.held" and waits until "<file>.release" appears (at most 120 s).
//
// usage: hold_file.exe <file>
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    return 2;
  }
  std::wstring path = argv[1];
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return 1;
  }
  CloseHandle(
      CreateFileW((path + L".held").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  for (int i = 0;
       i < 1200 && GetFileAttributesW((path + L".release").c_str()) == INVALID_FILE_ATTRIBUTES;
       ++i) {
    Sleep(100);
  }
  CloseHandle(file);
  return 0;
}
