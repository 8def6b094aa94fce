// The table of the Windows calls the installer makes. Every file, directory,
// resource, process, thread, memory, COM, shell and message-box call of the
// installer goes through one field of systemCalls, which holds the system's
// own functions until a test puts another function in its place (to fail the
// Nth call of a kind, say). Whether a call is guarded (GuardedCall) does not
// change: the table only decides which function runs.
//
// Each of the installer's Windows files includes this header after
// <windows.h>. From then on the system's names stand for the table's fields,
// so that a call reads as the system call it makes:
//
//   HANDLE file = CreateFileW(path, ...);   // systemCalls.createFileW(path, ...)
//
// Calls left direct: those the guard itself needs (SetErrorMode, SetLastError,
// GetLastError), the text conversions, and the window, message-loop and
// painting calls of the progress window's own thread.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

struct SystemCalls {
  // Files and folders.
  decltype(&::CreateFileA) createFileA;
  decltype(&::CreateFileW) createFileW;
  decltype(&::ReadFile) readFile;
  decltype(&::WriteFile) writeFile;
  decltype(&::SetFilePointer) setFilePointer;
  decltype(&::GetFileSize) getFileSize;
  decltype(&::GetFileType) getFileType;
  decltype(&::CloseHandle) closeHandle;
  decltype(&::GetFileAttributesA) getFileAttributesA;
  decltype(&::GetFileAttributesW) getFileAttributesW;
  decltype(&::GetFullPathNameA) getFullPathNameA;
  decltype(&::DeleteFileW) deleteFileW;
  decltype(&::FindFirstFileW) findFirstFileW;
  decltype(&::FindNextFileW) findNextFileW;
  decltype(&::FindClose) findClose;
  decltype(&::CreateDirectoryW) createDirectoryW;
  decltype(&::SetCurrentDirectoryW) setCurrentDirectoryW;
  decltype(&::GetWindowsDirectoryA) getWindowsDirectoryA;
  decltype(&::GetSystemDirectoryW) getSystemDirectoryW;
  decltype(&::GetTempPathW) getTempPathW;
  // Resources and libraries.
  decltype(&::FindResourceA) findResourceA;
  decltype(&::LoadResource) loadResource;
  decltype(&::SizeofResource) sizeofResource;
  decltype(&::LoadLibraryW) loadLibraryW;
  // Processes, threads, per-thread state and memory.
  decltype(&::CreateProcessW) createProcessW;
  decltype(&::CreateThread) createThread;
  decltype(&::WaitForSingleObject) waitForSingleObject;
  decltype(&::TlsAlloc) tlsAlloc;
  decltype(&::TlsGetValue) tlsGetValue;
  decltype(&::TlsSetValue) tlsSetValue;
  decltype(&::TlsFree) tlsFree;
  decltype(&::GlobalAlloc) globalAlloc;
  decltype(&::GlobalFree) globalFree;
  // COM, automation texts and the shell.
  decltype(&::CoCreateInstance) coCreateInstance;
  decltype(&::CLSIDFromProgID) clsidFromProgId;
  decltype(&::SysAllocStringLen) sysAllocStringLen;
  decltype(&::SHGetFolderPathA) shGetFolderPathA;
  decltype(&::SHGetFolderPathW) shGetFolderPathW;
  // Code pages of the names the installer writes.
  decltype(&::GetACP) getAcp;
  decltype(&::IsValidCodePage) isValidCodePage;
  // Message boxes and the progress window's creation.
  decltype(&::MessageBoxW) messageBoxW;
  decltype(&::RegisterClassA) registerClassA;
  decltype(&::CreateWindowExA) createWindowExA;
};

// The calls in force; starts as the system's own functions.
extern SystemCalls systemCalls;

// The system's own functions, as systemCalls holds them at start.
extern const SystemCalls kSystemFunctions;

#ifndef SYSTEM_CALLS_DIRECT
#define CreateFileA systemCalls.createFileA
#define CreateFileW systemCalls.createFileW
#define ReadFile systemCalls.readFile
#define WriteFile systemCalls.writeFile
#define SetFilePointer systemCalls.setFilePointer
#define GetFileSize systemCalls.getFileSize
#define GetFileType systemCalls.getFileType
#define CloseHandle systemCalls.closeHandle
#define GetFileAttributesA systemCalls.getFileAttributesA
#define GetFileAttributesW systemCalls.getFileAttributesW
#define GetFullPathNameA systemCalls.getFullPathNameA
#define DeleteFileW systemCalls.deleteFileW
#define FindFirstFileW systemCalls.findFirstFileW
#define FindNextFileW systemCalls.findNextFileW
#define FindClose systemCalls.findClose
#define CreateDirectoryW systemCalls.createDirectoryW
#define SetCurrentDirectoryW systemCalls.setCurrentDirectoryW
#define GetWindowsDirectoryA systemCalls.getWindowsDirectoryA
#define GetSystemDirectoryW systemCalls.getSystemDirectoryW
#define GetTempPathW systemCalls.getTempPathW
#define FindResourceA systemCalls.findResourceA
#define LoadResource systemCalls.loadResource
#define SizeofResource systemCalls.sizeofResource
#define LoadLibraryW systemCalls.loadLibraryW
#define CreateProcessW systemCalls.createProcessW
#define CreateThread systemCalls.createThread
#define WaitForSingleObject systemCalls.waitForSingleObject
#define TlsAlloc systemCalls.tlsAlloc
#define TlsGetValue systemCalls.tlsGetValue
#define TlsSetValue systemCalls.tlsSetValue
#define TlsFree systemCalls.tlsFree
#define GlobalAlloc systemCalls.globalAlloc
#define GlobalFree systemCalls.globalFree
#define CoCreateInstance systemCalls.coCreateInstance
#define CLSIDFromProgID systemCalls.clsidFromProgId
#define SysAllocStringLen systemCalls.sysAllocStringLen
#define SHGetFolderPathA systemCalls.shGetFolderPathA
#define SHGetFolderPathW systemCalls.shGetFolderPathW
#define GetACP systemCalls.getAcp
#define IsValidCodePage systemCalls.isValidCodePage
#define MessageBoxW systemCalls.messageBoxW
#define RegisterClassA systemCalls.registerClassA
#define CreateWindowExA systemCalls.createWindowExA
#endif
