// RestrictDllSearch and LoadSystemLibrary.
#include "frame/dll_search_windows.h"
#include "frame/system_calls_windows.h"

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32; the headers define it only for newer targets.
const DWORD kSearchSystemFolderOnly = 0x00000800;

typedef BOOL(WINAPI* SetDefaultDllDirectoriesCall)(DWORD directoryFlags);
typedef BOOL(WINAPI* SetDllDirectoryCall)(const WCHAR* folder);

// The generic function type, which casts to and from every other.
typedef void (*AnyCall)();

// The entry of kernel32 of that name, null when this system has none.
AnyCall FindKernelCall(const char* name) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) {
    return nullptr;
  }
  return reinterpret_cast<AnyCall>(GetProcAddress(kernel, name));
}

}  // namespace

void RestrictDllSearch() {
  SetDefaultDllDirectoriesCall setDefaultDirectories =
      reinterpret_cast<SetDefaultDllDirectoriesCall>(FindKernelCall("SetDefaultDllDirectories"));
  if (setDefaultDirectories != nullptr && setDefaultDirectories(kSearchSystemFolderOnly)) {
    return;
  }
  // Older systems still search the program's folder first; the current
  // directory at least goes.
  SetDllDirectoryCall setDllDirectory =
      reinterpret_cast<SetDllDirectoryCall>(FindKernelCall("SetDllDirectoryW"));
  if (setDllDirectory != nullptr) {
    setDllDirectory(L"");
  }
}

HMODULE LoadSystemLibrary(const WCHAR* name) {
  WCHAR path[MAX_PATH];
  UINT folderLength = GetSystemDirectoryW(path, MAX_PATH);
  if (folderLength == 0 || folderLength >= MAX_PATH) {
    return nullptr;
  }
  size_t nameLength = static_cast<size_t>(lstrlenW(name));
  if (folderLength + 1 + nameLength >= MAX_PATH) {
    return nullptr;
  }
  path[folderLength] = L'\\';
  lstrcpyW(path + folderLength + 1, name);
  return LoadLibraryW(path);
}
