// The progress display: a small window owned by a thread of its own, driven
// from the main thread through window messages only.
//
//   HWND window = StartProgressDisplay(GetDesktopWindow());
//   SetControlText(window, TextFrom("Extracting Installation Files..."));
//   SetControlText(ProgressLabelHandle(), TextFrom(" 37 %"));
//   SetProgressPercent(37);
//   CloseProgressDisplay();
//
// A display that could not be started (null window) makes every later call a
// harmless no-op; none of the calls waits for ever.
#pragma once

#include <windows.h>

#include <cstdint>

#include "frame/ansi_text.h"

// The shared record of the display. Each field is one machine word, stored and
// loaded atomically (progress_shared_windows.h). windowHandle holds the
// pending mark (all bits set) from the start request until the progress
// thread publishes its window (with release semantics, after the two child
// handles), or null when no window could be made.
struct ProgressShared {
  HWND windowHandle;
  HANDLE threadHandle;
  HWND barHandle;
  HWND labelHandle;
};

// The display's process-wide record, set to zero by start-up.
extern ProgressShared progressShared;

// Sets every field of the shared record to zero.
void ClearProgressShared();

// Starts the progress thread and waits until its window exists. Returns the
// window, or null when the thread could not be started (after the "Could Not
// Create Progress Thread" box) or could not create its window.
HWND StartProgressDisplay(HWND parent);

// Sets a window's text (at most 1023 characters, up to the first zero
// character) and returns once the owning thread has handled it.
void SetControlText(HWND window, const AnsiText& text);

// Posts a bar position; values below 1 are shown as 1, the bar's range keeps
// larger ones at 100. Always returns 0.
int32_t SetProgressPercent(int32_t percent);

// Asks the window to close and waits until it is destroyed, then releases the
// thread handle; does not wait when there is no window. True when the thread
// handle was released.
bool CloseProgressDisplay();

// The label's handle for the extraction's percentage texts (acquire load).
HWND ProgressLabelHandle();
