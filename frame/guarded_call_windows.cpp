#include "frame/guarded_call_windows.h"

#include <atomic>

namespace {

// 0 while free, all ones while a guarded call runs.
std::atomic<uint32_t> guardLock{0};

}  // namespace

GuardScope EnterGuard() {
  while (guardLock.exchange(0xFFFFFFFFu, std::memory_order_acquire) != 0) {
  }
  GuardScope scope;
  scope.previousErrorMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  SetLastError(0);
  return scope;
}

uint32_t LeaveGuard(GuardScope scope) {
  uint32_t lastError = GetLastError();
  SetErrorMode(scope.previousErrorMode);
  guardLock.store(0, std::memory_order_release);
  return lastError;
}
