// The installer sequence: the whole installer, run once by the process entry.
#pragma once

#include <windows.h>

#include <cstdint>

// The process exit codes of the sequence (the process entry ends with 255 for
// a refused platform, a failed start-up and a fatal system failure).
enum : int32_t {
  // Every file of the payload installed: whether the shortcut was written and
  // setup.exe started or not.
  kInstallationComplete = 1,
  // Ended at a box without a complete installation: folders, payload, code
  // page, temporary archive or unpacked files.
  kInstallationIncomplete = 2,
};

// Receives the instance handle, no previous instance, the command-line tail and
// the start-up show command; only the instance handle is used. Returns the
// process exit code: kInstallationComplete or kInstallationIncomplete.
int32_t RunInstallerSequence(HINSTANCE instance, HINSTANCE previousInstance,
                             const WCHAR* commandTail, int32_t showCommand);
