#include <windows.h>

#include <cstring>

#include "frame/failure_record.h"
#include "frame/file_system.h"
#include "frame/guarded_call_windows.h"
#include "frame/message_box.h"
#include "frame/system_calls_windows.h"
#include "frame/text_conversion_windows.h"
#include "installer/setup_launch.h"
#include "texts/installer_texts.h"

// The shipping build is 32-bit; these are the record sizes its start passes.
static_assert(sizeof(void*) != 4 || sizeof(STARTUPINFOW) == 68, "STARTUPINFOW is 68 bytes");
static_assert(sizeof(void*) != 4 || sizeof(SECURITY_ATTRIBUTES) == 12,
              "SECURITY_ATTRIBUTES is 12 bytes");

namespace {

enum : int32_t {
  kCommandBufferLimit = 259,  // characters of the program path kept (260-byte buffer)
  kProgramPathLimit = 256,    // UTF-16 units of the program path kept
};

}  // namespace

void LaunchSetupProgram(const AnsiText& installFolder) {
  ShowMessage(TextFrom(kFinalText), TextFrom(kFinalCaption), MB_OK | MB_SYSTEMMODAL);
  ChangeDirectory(installFolder);
  AnsiText program = installFolder;
  AppendText(&program, kSetupProgramName);
  StartProgram(
      TextFromChars(program.chars,
                    program.length < kCommandBufferLimit ? program.length : kCommandBufferLimit),
      SW_SHOWNORMAL);
}

uint32_t StartProgram(const AnsiText& programPath, int32_t showCommand) {
  WideText program = ToWide(programPath);
  TruncateWide(&program, kProgramPathLimit);
  // CreateProcessW may write to its command line, so it gets a copy: the
  // program path in double quotes.
  WCHAR commandLine[kProgramPathLimit + 3];
  commandLine[0] = L'"';
  std::memcpy(commandLine + 1, program.units, sizeof(WCHAR) * program.length);
  commandLine[program.length + 1] = L'"';
  commandLine[program.length + 2] = 0;

  STARTUPINFOW startup;
  std::memset(&startup, 0, sizeof(startup));
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showCommand);
  SECURITY_ATTRIBUTES security;
  std::memset(&security, 0, sizeof(security));
  security.nLength = sizeof(security);
  security.bInheritHandle = FALSE;
  PROCESS_INFORMATION process;
  std::memset(&process, 0, sizeof(process));

  GuardedOutcome<BOOL> started = GuardedCall([&] {
    return CreateProcessW(program.units, commandLine, &security, &security, FALSE,
                          NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process);
  });
  // A start that returns success with a stale last error has still started;
  // one that returns 0 has not, and has no handles to close.
  if (started.value == 0) {
    RecordFailure(kStartProgramService, started.lastError);
    return 0;
  }
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return process.dwProcessId;
}
