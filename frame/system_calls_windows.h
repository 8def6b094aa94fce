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
// shortcut/, extraction/, frame/) that are made directly, file by file, and
// why; nothing else is. Each "direct:" line names a file and the calls it
// makes directly; the lines under it say why. The test installer_direct_calls
// (tests/windows/pe/check_direct_calls.sh) reads these lines and fails when an
// object imports a call its file's line does not name, when a line names a
// call its file no longer makes, and when an object calls one of the list's
// calls directly, bypassing the table.
//
// direct: guarded_call_windows.cpp: SetErrorMode SetLastError GetLastError
// direct: frame_state_windows.cpp: SetLastError GetLastError
//     The guard's own calls, and those with which AcquireFrameState keeps a
//     caller's last error: they read and restore what the table's calls
//     leave, so a test that replaces a call must not replace them.
// direct: failure_record_windows.cpp: ExitProcess
//     It does not return, which no replacement could keep.
// direct: process_entry_windows.cpp: ExitProcess GetVersionExA GetStartupInfoA GetCommandLineW GetModuleHandleW
//     They run before the installer sequence, which is where the in-process
//     tests start; the refused platform is tested by running the installer.
// direct: dll_search_windows.cpp: GetModuleHandleW GetProcAddress lstrlenW lstrcpyW
//     RestrictDllSearch runs first of all, before any DLL could be loaded by
//     name; SetDefaultDllDirectories or SetDllDirectoryW is found by
//     GetProcAddress. lstrlenW and lstrcpyW compute and touch nothing.
// direct: common_controls_windows.cpp: GetProcAddress
//     StartCommonControls finds InitCommonControls after LoadLibraryW
//     (listed), whose failure takes the same path.
// direct: text_conversion_windows.cpp: MultiByteToWideChar WideCharToMultiByte
// direct: safe_entry_name_windows.cpp: MultiByteToWideChar WideCharToMultiByte CharUpperBuffA CharUpperBuffW
//     The text conversions and upper-case mappings compute and touch
//     nothing; the tests reach their failures through the texts they give.
// direct: message_box_windows.cpp: Sleep
//     The 5 ms pause before each message box.
// direct: desktop_shortcut_windows.cpp: SysFreeString
// direct: installer_sequence.cpp: GetDesktopWindow
//     They cannot fail.
// direct: progress_display_windows.cpp: IsWindow PostMessageA SetWindowTextA
// direct: progress_thread_windows.cpp: GetMessageA TranslateMessage DispatchMessageA DestroyWindow
// direct: progress_window_windows.cpp: LoadIconA LoadCursorA GetSysColorBrush GetSystemMetrics ShowWindow UpdateWindow PostMessageA BeginPaint EndPaint PostQuitMessage DefWindowProcA
//     The progress display's window calls, on the main thread and on the
//     progress thread (its message loop and window procedure). The window's
//     creation (RegisterClassA, CreateWindowExA) and the thread's
//     (CreateThread) are listed: their failures are what a user can meet.
//
// The methods of the shell's automation objects are called through the
// objects' own function tables; CoCreateInstance (listed) makes the objects.
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
