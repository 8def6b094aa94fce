// Loads a DLL by its plain name, as the system's own libraries do, and prints
// the path it came from: shows whether a DLL planted beside a program is in
// reach of such a load.
//
// usage: load_library.exe <name.dll>
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    return 2;
  }
  HMODULE module = LoadLibraryW(argv[1]);
  wchar_t path[MAX_PATH] = L"";
  if (module == nullptr || GetModuleFileNameW(module, path, MAX_PATH) == 0) {
    return 1;
  }
  std::printf("%ls\n", path);
  return 0;
}
