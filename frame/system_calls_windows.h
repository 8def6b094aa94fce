// The table of the Windows calls the installer makes. Each call of the list
// below goes through one field of systemCalls, which holds the system's own
// function until a test puts another function in its place (to fail the Nth
// call of a kind, say). Whether a call is guarded (GuardedCall) does not
// change: the table only decides which function runs.
//
// The list is the only place a call is named: the fields of SystemCalls, the
// system's functions they start with (kSystemFunctions) and the name macros
// below all come from it. Adding a call is one X(Name, field) line.
//
// Each of the installer's Windows files that makes a listed call includes
// this header after <windows.h>. From then on the system's names stand for the
// table's fields, so that a call reads as the system call it makes:
//
//   HANDLE file = CreateFileW(path, ...);   // systemCalls.createFileW(path, ...)
//
// Calls of the installer's own code (startup/, installer/, progress/,
// shortcut/, extraction/, frame/) that are made directly, and why; nothing
// else is:
// - the guard's own SetErrorMode, SetLastError and GetLastError
//   (guarded_call_windows.cpp), and the SetLastError and GetLastError with
//   which AcquireFrameState keeps a caller's last error
//   (frame_state_windows.cpp): they read and restore what the table's calls
//   leave, so a test that replaces a call must not replace them;
// - ExitProcess (process_entry_windows.cpp, failure_record_windows.cpp): it
//   does not return, which no replacement could keep;
// - the process entry's GetVersionExA, GetStartupInfoA, GetCommandLineW and
//   GetModuleHandleW (process_entry_windows.cpp): they run before the
//   installer sequence, which is where the in-process tests start; the
//   refused platform is tested by running the installer;
// - RestrictDllSearch's GetModuleHandleW and GetProcAddress, and the
//   SetDefaultDllDirectories or SetDllDirectoryW they find
//   (dll_search_windows.cpp): they run first of all, before any DLL could be
//   loaded by name;
// - StartCommonControls' GetProcAddress and the InitCommonControls it finds
//   (common_controls_windows.cpp): they follow LoadLibraryW (listed), whose
//   failure takes the same path;
// - the text conversions and upper-case mappings MultiByteToWideChar,
//   WideCharToMultiByte, CharUpperBuffA and CharUpperBuffW
//   (text_conversion_windows.cpp, safe_entry_name_windows.cpp), and lstrlenW
//   and lstrcpyW
//   (dll_search_windows.cpp): they compute and touch nothing; the tests reach
//   their failures through the texts they give them;
// - Sleep, the 5 ms pause before each message box (message_box_windows.cpp);
// - SysFreeString (desktop_shortcut_windows.cpp), which cannot fail;
// - GetDesktopWindow (installer_sequence.cpp), which cannot fail;
// - the progress display's window calls: on the main thread IsWindow,
//   PostMessageA and SetWindowTextA (progress_display_windows.cpp); on the
//   progress thread its message loop GetMessageA, TranslateMessage,
//   DispatchMessageA and DestroyWindow (progress_thread_windows.cpp), and
//   LoadIconA, LoadCursorA, GetSysColorBrush, GetSystemMetrics, ShowWindow,
//   UpdateWindow, PostMessageA, BeginPaint, EndPaint, PostQuitMessage and
//   DefWindowProcA (progress_window_windows.cpp). The window's creation
//   (RegisterClassA, CreateWindowExA) and the thread's (CreateThread) are
//   listed: their failures are what a user can meet.
// The methods of the shell's automation objects are called through the
// objects' own function tables; CoCreateInstance (listed) makes the objects.
// The test installer_direct_calls (tests/windows/pe/check_direct_calls.sh)
// holds the built objects to this account: each call they import directly
// must be named above, and none may be a call of the list.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

// Files and folders.
#define SYSTEM_CALLS_FILES(X)                   \
  X(CreateFileA, createFileA)                   \
  X(CreateFileW, createFileW)                   \
  X(ReadFile, readFile)                         \
  X(WriteFile, writeFile)                       \
  X(SetFilePointer, setFilePointer)             \
  X(GetFileSize, getFileSize)                   \
  X(GetFileType, getFileType)                   \
  X(CloseHandle, closeHandle)                   \
  X(GetFileAttributesA, getFileAttributesA)     \
  X(GetFileAttributesW, getFileAttributesW)     \
  X(GetFullPathNameA, getFullPathNameA)         \
  X(DeleteFileW, deleteFileW)                   \
  X(FindFirstFileW, findFirstFileW)             \
  X(FindNextFileW, findNextFileW)               \
  X(FindClose, findClose)                       \
  X(CreateDirectoryW, createDirectoryW)         \
  X(SetCurrentDirectoryW, setCurrentDirectoryW) \
  X(GetWindowsDirectoryA, getWindowsDirectoryA) \
  X(GetSystemDirectoryW, getSystemDirectoryW)   \
  X(GetTempPathW, getTempPathW)

// Resources and libraries.
#define SYSTEM_CALLS_RESOURCES(X)   \
  X(FindResourceA, findResourceA)   \
  X(LoadResource, loadResource)     \
  X(SizeofResource, sizeofResource) \
  X(LoadLibraryW, loadLibraryW)

// Processes, threads, per-thread state and memory.
#define SYSTEM_CALLS_PROCESSES(X)             \
  X(CreateProcessW, createProcessW)           \
  X(CreateThread, createThread)               \
  X(WaitForSingleObject, waitForSingleObject) \
  X(TlsAlloc, tlsAlloc)                       \
  X(TlsGetValue, tlsGetValue)                 \
  X(TlsSetValue, tlsSetValue)                 \
  X(TlsFree, tlsFree)                         \
  X(GlobalAlloc, globalAlloc)                 \
  X(GlobalFree, globalFree)

// COM, automation texts and the shell.
#define SYSTEM_CALLS_COM(X)               \
  X(CoInitialize, coInitialize)           \
  X(CoUninitialize, coUninitialize)       \
  X(CoCreateInstance, coCreateInstance)   \
  X(CLSIDFromProgID, clsidFromProgId)     \
  X(SysAllocStringLen, sysAllocStringLen) \
  X(SHGetFolderPathW, shGetFolderPathW)

// Code pages of the names the installer writes.
#define SYSTEM_CALLS_CODE_PAGES(X) \
  X(GetACP, getAcp)                \
  X(IsValidCodePage, isValidCodePage)

// Message boxes (the platform refusal's MessageBoxA, ShowMessage's
// MessageBoxW) and the progress window's creation.
#define SYSTEM_CALLS_WINDOWS(X)     \
  X(MessageBoxA, messageBoxA)       \
  X(MessageBoxW, messageBoxW)       \
  X(RegisterClassA, registerClassA) \
  X(CreateWindowExA, createWindowExA)

#define SYSTEM_CALL_LIST(X)  \
  SYSTEM_CALLS_FILES(X)      \
  SYSTEM_CALLS_RESOURCES(X)  \
  SYSTEM_CALLS_PROCESSES(X)  \
  SYSTEM_CALLS_COM(X)        \
  SYSTEM_CALLS_CODE_PAGES(X) \
  SYSTEM_CALLS_WINDOWS(X)

// One field per call, typed as the system's function: a replacement of
// another signature or calling convention does not compile.
struct SystemCalls {
#define SYSTEM_CALL_FIELD(name, field) decltype(&::name) field;
  SYSTEM_CALL_LIST(SYSTEM_CALL_FIELD)
#undef SYSTEM_CALL_FIELD
};

// The calls in force; starts as the system's own functions.
extern SystemCalls systemCalls;

// The system's own functions, as systemCalls holds them at start.
extern const SystemCalls kSystemFunctions;

#ifndef SYSTEM_CALLS_DIRECT
// "#define CreateFileA systemCalls.createFileA" and so on for every call of
// the list, written by the build from the list above (frame/CMakeLists.txt).
#include "frame/system_call_names_windows.h"

// Every name of the list stands for its field: a call the build's name macros
// missed would not compile here.
#define SYSTEM_CALL_ROUTED(name, field) \
  static_assert(&(name) == &systemCalls.field, "not routed through the table: " #field);
SYSTEM_CALL_LIST(SYSTEM_CALL_ROUTED)
#undef SYSTEM_CALL_ROUTED
#endif
