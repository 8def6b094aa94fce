// The guarded system call: one call run under a process-wide spin lock, with
// critical-error boxes switched off and the last error cleared beforehand. The
// call counts as failed exactly when it leaves a non-zero last error, whatever
// it returned; callers that also judge by the return value do so themselves.
//
// The calls made through GuardedCall:
// - the extraction's file access (extraction/binary_file_windows.cpp):
//   CreateFileW, GetFileType, ReadFile, WriteFile, SetFilePointer, GetFileSize
//   and CloseHandle;
// - the listing of FindFirstName and FindNextName and the closing of a
//   thread's open search (frame/directory_listing_windows.cpp,
//   frame/frame_state_windows.cpp): FindFirstFileW, FindNextFileW, FindClose;
// - DeleteMatchingFiles' DeleteFileW, MakeDirectory's CreateDirectoryW and
//   ChangeDirectory's SetCurrentDirectoryW (frame/file_system_windows.cpp);
// - the folder check's GetFileAttributesW
//   (installer/folder_preparation_windows.cpp) and ResolveFullPath's
//   GetFullPathNameA (installer/payload_copy_windows.cpp);
// - the start of the setup program, CreateProcessW
//   (installer/setup_launch_windows.cpp);
// - the progress thread's CreateThread and the CloseHandle of its handle
//   (progress/progress_display_windows.cpp).
// Every other call is made without the guard, among them these file calls:
// DeleteMatchingFiles' own search (FindFirstFileW, FindNextFileW, FindClose);
// the payload copy's FindResourceA, LoadResource, SizeofResource,
// GetFileAttributesA, CreateFileA, WriteFile and CloseHandle and its
// GetTempPathW; the CloseHandle of the started program's process and thread
// handles; GetWindowsDirectoryA, GetSystemDirectoryW and LoadLibraryW. Their
// callers judge them by their return values alone.
//
//   GuardedOutcome<BOOL> made = GuardedCall([&] { return CreateDirectoryW(path, nullptr); });
//   if (made.failed) RecordFailure(kMakeDirectoryService, made.lastError);
#pragma once

#include <windows.h>

#include <cstdint>

template <typename Value>
struct GuardedOutcome {
  Value value;         // what the call returned
  uint32_t lastError;  // GetLastError() right after the call
  bool failed;         // lastError != 0
};

// The state a guarded call saves while it runs.
struct GuardScope {
  UINT previousErrorMode;
};

// Takes the lock (a pure spin), sets the error mode to
// SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX and clears the last error.
GuardScope EnterGuard();

// Reads the last error, restores the error mode and releases the lock;
// returns the last error read.
uint32_t LeaveGuard(GuardScope scope);

template <typename Call>
auto GuardedCall(Call call) -> GuardedOutcome<decltype(call())> {
  GuardScope scope = EnterGuard();
  auto value = call();
  uint32_t lastError = LeaveGuard(scope);
  return GuardedOutcome<decltype(call())>{value, lastError, lastError != 0};
}
