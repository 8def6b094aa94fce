// The process entry of the installer: platform check, frame set-up, COM, the
// installer sequence, and the end of the process with its result.
#include <windows.h>
#include <objbase.h>

#include <cstdint>

#include "frame/dll_search_windows.h"
#include "frame/frame_state_windows.h"
#include "frame/process_variables_windows.h"
#include "frame/system_calls_windows.h"
#include "installer/installer_sequence.h"
#include "progress/progress_display.h"
#include "startup/command_line_windows.h"
#include "texts/installer_texts.h"

// The shipping build is 32-bit; these are the record sizes its calls pass.
static_assert(sizeof(void*) != 4 || sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA is 148 bytes");
static_assert(sizeof(void*) != 4 || sizeof(STARTUPINFOW) == 68, "STARTUPINFOW is 68 bytes");
static_assert(sizeof(void*) != 4 || sizeof(SECURITY_ATTRIBUTES) == 12,
              "SECURITY_ATTRIBUTES is 12 bytes");

namespace {

const DWORD kVersionInfoSize = 148;
const UINT kRefusalStyle = MB_OK | MB_TASKMODAL | MB_SETFOREGROUND;
const UINT kFailedStartExitCode = 255;

// Only the Windows NT family is supported. On any other platform nothing but
// this box happens before the process ends.
void RefuseOtherPlatforms() {
  OSVERSIONINFOA version;
  ZeroMemory(&version, sizeof(version));
  version.dwOSVersionInfoSize = kVersionInfoSize;
  GetVersionExA(&version);
  if (version.dwPlatformId != VER_PLATFORM_WIN32_NT) {
    MessageBoxA(nullptr, kPlatformRefusalText, nullptr, kRefusalStyle);
    ExitProcess(kFailedStartExitCode);
  }
}

}  // namespace

// The C runtime is initialised before this runs; its argument parsing is not used.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything can load a DLL by name (the refusal box already may).
  RestrictDllSearch();
  RefuseOtherPlatforms();

  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof(startup));
  startup.cb = sizeof(startup);
  GetStartupInfoA(&startup);
  int32_t showCommand = ShowCommandOf(startup);
  const WCHAR* commandTail = CommandLineTail(GetCommandLineW());
  HINSTANCE instance = GetModuleHandleW(nullptr);

  if (!StartFrame()) {
    ExitProcess(kFailedStartExitCode);
  }
  CoInitialize(nullptr);
  ClearProcessVariables();
  ClearProgressShared();

  int32_t exitCode = RunInstallerSequence(instance, nullptr, commandTail, showCommand);

  EndFrame();
  CoUninitialize();
  ExitProcess(static_cast<UINT>(exitCode));
}
