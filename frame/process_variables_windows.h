// Process-wide variables of the installer that the frame knows about.
#pragma once

#include <windows.h>

// The executable's module handle. The frame obtains it at start-up and hands it
// to the installer sequence, which stores it here before anything else; the
// payload lookup and the progress window read it.
extern HINSTANCE instanceHandle;

// Sets the frame's process-wide variables to zero before the installer
// sequence runs (the progress display clears its own record).
void ClearProcessVariables();
