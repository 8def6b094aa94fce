// The installer's last act: the final message, then the start of the unpacked
// setup program from the installation folder, without waiting for it.
#pragma once

#include <cstdint>

#include "frame/ansi_text.h"

// Shows the system-modal final message, makes installFolder the current
// directory and starts installFolder\setup.exe in a normal window. Failures
// are recorded and otherwise ignored.
void LaunchSetupProgram(const AnsiText& installFolder);

// Starts the program at programPath (a full path, no arguments) with the show
// command and returns its process identifier, or 0 when it could not be
// started (the failure is recorded). The program is named to the system by its
// full path and quoted on its command line, so that a path with spaces cannot
// start a program named like the path up to a space ("C:\Ostrel.exe" for
// "C:\Ostrel Setup\..."). It inherits the environment and the current
// directory; nobody waits for it.
uint32_t StartProgram(const AnsiText& programPath, int32_t showCommand);
