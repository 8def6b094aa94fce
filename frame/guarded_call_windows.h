// The guarded system call. Every file, directory, process and thread call of
// the installer runs through GuardedCall: under a process-wide spin lock, with
// critical-error boxes switched off and the last error cleared beforehand. The
// call counts as failed exactly when it leaves a non-zero last error, whatever
// it returned; callers that also judge by the return value do so themselves.
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
