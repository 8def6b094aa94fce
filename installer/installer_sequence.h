// The installer sequence: the whole installer, run once by the process entry.
#pragma once

#include <windows.h>

#include <cstdint>

// Receives the instance handle, no previous instance, the command-line tail and
// the start-up show command; only the instance handle is used. Returns the
// process exit code, 1 on every path.
int32_t RunInstallerSequence(HINSTANCE instance, HINSTANCE previousInstance,
                             const WCHAR* commandTail, int32_t showCommand);
