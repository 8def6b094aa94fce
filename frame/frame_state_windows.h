// Per-thread frame state: one zero-filled block for every thread that runs
// installer code, reached through one thread-local-storage slot.
#pragma once

#include <windows.h>

#include <cstdint>

#include "frame/failure_record.h"

struct OpenSearch {
  HANDLE handle;    // null while the thread has no open search
  uint32_t filter;  // attribute filter the search was opened with
};

struct FrameState {
  OpenSearch search;
  FailureRecord lastFailure;
};

// Allocates the slot and the calling (main) thread's state. False when either
// cannot be had; nothing is left allocated then.
bool StartFrame();

// Closes a search the main thread left open, frees its state and the slot.
void EndFrame();

// The calling thread's state, created zero-filled on first need. Null when
// there is no slot or the block cannot be allocated.
FrameState* AcquireFrameState();

// Ends the calling thread's use of the frame: closes its open search and frees
// its state. The progress thread calls it before it ends.
void ReleaseFrameState();
