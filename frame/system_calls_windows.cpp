// The table of the installer's Windows calls, filled with the system's own.
#define SYSTEM_CALLS_DIRECT
#include "frame/system_calls_windows.h"

const SystemCalls kSystemFunctions = {
    ::CreateFileA,         ::CreateFileW,          ::ReadFile,
    ::WriteFile,           ::SetFilePointer,       ::GetFileSize,
    ::GetFileType,         ::CloseHandle,          ::GetFileAttributesA,
    ::GetFileAttributesW,  ::GetFullPathNameA,     ::DeleteFileW,
    ::FindFirstFileW,      ::FindNextFileW,        ::FindClose,
    ::CreateDirectoryW,    ::SetCurrentDirectoryW, ::GetWindowsDirectoryA,
    ::GetSystemDirectoryW, ::FindResourceA,        ::LoadResource,
    ::SizeofResource,      ::LoadLibraryW,         ::CreateProcessW,
    ::CreateThread,        ::WaitForSingleObject,  ::TlsAlloc,
    ::TlsGetValue,         ::TlsSetValue,          ::TlsFree,
    ::GlobalAlloc,         ::GlobalFree,           ::CoCreateInstance,
    ::CLSIDFromProgID,     ::SysAllocStringLen,    ::SHGetFolderPathA,
    ::SHGetFolderPathW,    ::MessageBoxW,          ::RegisterClassA,
    ::CreateWindowExA,
};

SystemCalls systemCalls = kSystemFunctions;
