// Atomic access to the one-word fields of the progress display's shared
// record, and the mark that stands for a window not yet made.
#pragma once

#include <windows.h>

#include <cstdint>

#include "progress/progress_display.h"

// windowHandle while the progress thread has not yet published its window.
inline HWND PendingWindowMark() {
  return reinterpret_cast<HWND>(static_cast<intptr_t>(-1));
}

template <typename Handle>
Handle LoadShared(Handle* field) {
  return __atomic_load_n(field, __ATOMIC_ACQUIRE);
}

template <typename Handle>
void StoreShared(Handle* field, Handle value) {
  __atomic_store_n(field, value, __ATOMIC_RELEASE);
}

template <typename Handle>
Handle TakeShared(Handle* field) {
  return __atomic_exchange_n(field, Handle(), __ATOMIC_ACQ_REL);
}
