// The progress thread: owns the progress window and runs its message loop.
#pragma once

#include <windows.h>

// The thread routine; its parameter is the parent window handle. Makes the
// window (which publishes itself in progressShared), then handles messages
// until the window is destroyed. When no window of its own could be made it
// publishes null instead, so that the thread waiting for it is released, and
// ends at once. Ends with exit code 1.
DWORD WINAPI ProgressThreadMain(LPVOID parent);
