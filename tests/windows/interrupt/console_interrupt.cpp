// Interrupts a console program while it writes a temporary file, as a user's
// Ctrl+C or a parent's Ctrl+Break does.
//
//   console_interrupt.exe EVENT FOLDER PATTERN -- program [args]
//
// starts the program in a process group of its own, waits until a file in
// FOLDER that matches PATTERN (a wildcard such as *.tmp*) exists and holds
// bytes (the program is writing it), sends EVENT to the group, and prints
// "exit <code>" (hexadecimal) once the program has ended. EVENT is
// - "ctrl-c": the group is led by a copy of this program that enables Ctrl+C
//   and ignores it itself, so that the event reaches the program as it does
//   in a console where nobody disabled it;
// - "ctrl-c-disabled": the program leads its group, which starts with Ctrl+C
//   disabled, as CreateProcess makes it;
// - "ctrl-break": the program leads its group.
// Exit status 0 when the event was sent and the program ended, 1 when the
// program ended before the file was seen or did not end, 77 when the system
// cannot send the event (printed as SKIPPED with the reason).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

const DWORD kEndTimeoutMs = 60000;

// Where this program's lines go: its standard output as it was started.
HANDLE output = INVALID_HANDLE_VALUE;

void Say(const std::string& text) {
  DWORD written;
  WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string Utf8(const std::wstring& wide) {
  std::string text(wide.size() * 3 + 1, '\0');
  int length = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()),
                                   &text[0], static_cast<int>(text.size()), nullptr, nullptr);
  text.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return text;
}

// The words from first on as a command line (paths: no quotes inside, no
// backslash at the end).
std::wstring CommandLine(int argc, wchar_t** argv, int first) {
  std::wstring line;
  for (int i = first; i < argc; ++i) {
    line += (i == first ? L"\"" : L" \"") + std::wstring(argv[i]) + L"\"";
  }
  return line;
}

// Starts a command line in a new process group or in this one, writing where
// this program writes.
bool Start(std::wstring commandLine, bool newGroup, PROCESS_INFORMATION* process) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = output;
  startup.hStdError = output;
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE,
                      newGroup ? CREATE_NEW_PROCESS_GROUP : 0, nullptr, nullptr, &startup,
                      process)) {
    Say("cannot start " + Utf8(commandLine) + ": error " + std::to_string(GetLastError()) + "\n");
    return false;
  }
  return true;
}

// The name of a matching file that holds bytes, once there is one; empty when
// the process ended first.
std::wstring WaitForWrittenFile(const std::wstring& folder, const std::wstring& pattern,
                                HANDLE process) {
  std::wstring query = folder + L"\\" + pattern;
  for (;;) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(query.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      bool written = false;
      do {
        written = found.nFileSizeLow != 0 || found.nFileSizeHigh != 0;
      } while (!written && FindNextFileW(search, &found));
      FindClose(search);
      if (written) {
        return found.cFileName;
      }
    }
    if (WaitForSingleObject(process, 1) == WAIT_OBJECT_0) {
      return std::wstring();
    }
  }
}

BOOL WINAPI IgnoreInterrupt(DWORD) {
  return TRUE;
}

// The group leader of "ctrl-c": runs the program in its group with Ctrl+C
// enabled (the program inherits that) and passes its exit code on.
int Lead(const std::wstring& commandLine) {
  output = GetStdHandle(STD_OUTPUT_HANDLE);
  SetConsoleCtrlHandler(nullptr, FALSE);
  SetConsoleCtrlHandler(IgnoreInterrupt, TRUE);
  PROCESS_INFORMATION process;
  if (!Start(commandLine, false, &process)) {
    return 1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  return static_cast<int>(code);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 3 && std::wcscmp(argv[1], L"--lead") == 0) {
    return Lead(CommandLine(argc, argv, 2));
  }
  if (argc < 6 || std::wcscmp(argv[4], L"--") != 0) {
    std::printf("usage: console_interrupt EVENT FOLDER PATTERN -- program [args]\n");
    return 2;
  }
  std::wstring event = argv[1];
  bool lead = event == L"ctrl-c";
  if (!lead && event != L"ctrl-c-disabled" && event != L"ctrl-break") {
    std::printf("unknown event %ls\n", event.c_str());
    return 2;
  }
  // Events go through a console, and a program Wine starts from a shell has
  // none that carries them: a new one, with this program's output kept.
  DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_OUTPUT_HANDLE), GetCurrentProcess(),
                  &output, 0, TRUE, DUPLICATE_SAME_ACCESS);
  FreeConsole();
  if (!AllocConsole()) {
    Say("SKIPPED: no console for the event: error " + std::to_string(GetLastError()) + "\n");
    return 77;
  }
  wchar_t self[MAX_PATH + 1];
  GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
  std::wstring program = CommandLine(argc, argv, 5);
  PROCESS_INFORMATION process;
  if (!Start(lead ? L"\"" + std::wstring(self) + L"\" --lead " + program : program, true,
             &process)) {
    return 1;
  }
  std::wstring written = WaitForWrittenFile(argv[2], argv[3], process.hProcess);
  if (written.empty()) {
    Say("the program ended before a matching file was written\n");
    return 1;
  }
  Say("interrupting while " + Utf8(written) + " is written\n");
  DWORD ctrl = event == L"ctrl-break" ? CTRL_BREAK_EVENT : CTRL_C_EVENT;
  if (!GenerateConsoleCtrlEvent(ctrl, process.dwProcessId)) {
    DWORD error = GetLastError();
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, kEndTimeoutMs);
    Say("SKIPPED: the system does not send this event to a process group (error " +
        std::to_string(error) + ")\n");
    return 77;
  }
  if (WaitForSingleObject(process.hProcess, kEndTimeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    Say("the program did not end after the event\n");
    return 1;
  }
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  char text[32];
  std::snprintf(text, sizeof text, "exit %lx\n", static_cast<unsigned long>(code));
  Say(text);
  return 0;
}
