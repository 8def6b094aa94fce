// The progress display: a small window owned by a thread of its own, driven
// from the main thread through window messages only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "frame/ansi_text.h"

// The shared record of the display. Each field is one machine word, stored and
// loaded atomically. windowHandle holds kPendingWindow from the start request
// until the progress thread publishes its window (with release semantics,
// after the two child handles).
struct ProgressShared {
  HWND windowHandle;
  HANDLE threadHandle;
  HWND barHandle;
  HWND labelHandle;
};

extern ProgressShared progressShared;

// Starts the progress thread and waits until its window exists. Returns the
// window, or null when the thread could not be started (after the "Could Not
// Create Progress Thread" box) or could not create its window.
HWND StartProgressDisplay(HWND parent);

// Sets a window's text and returns once the owning thread has handled it.
void SetControlText(HWND window, const AnsiText& text);

// Posts a bar position; values below 1 are shown as 1. Always returns 0.
int32_t SetProgressPercent(int32_t percent);

// Asks the window to close and waits until it is destroyed; returns at once when
// there is no window. True when the thread handle was released.
bool CloseProgressDisplay();

// The label's handle for the extraction's percentage texts (acquire load).
HWND ProgressLabelHandle();
