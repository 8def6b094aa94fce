// window_watcher: starts a program, reports every message box it shows and
// answers it with OK, then reports the program's exit code. One line each,
// UTF-8, tab-separated:
//   box <caption> <text> <buttons, "|"-separated> <icon|noicon>
//   exit <code>        or    timeout
//
// usage: window_watcher.exe [--timeout-ms N] [--cwd DIR] -- program [arguments...]
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <set>
#include <string>

#include "message_box_reader.h"

namespace {

void PrintLine(const std::string& line) {
  std::string out = line + "\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
}

std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
    return argument;
  }
  return L"\"" + argument + L"\"";
}

void ReportBox(const MessageBoxView& view) {
  std::string buttons;
  for (const std::wstring& button : view.buttons) {
    buttons += (buttons.empty() ? "" : "|") + ToUtf8(button);
  }
  PrintLine("box\t" + ToUtf8(view.caption) + "\t" + ToUtf8(view.text) + "\t" + buttons + "\t" +
            (view.hasIcon ? "icon" : "noicon"));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // "\n" line ends, as the scripts expect
  DWORD timeoutMs = 30000;
  const wchar_t* folder = nullptr;
  int first = 1;
  for (; first < argc; ++first) {
    std::wstring option = argv[first];
    if (option == L"--timeout-ms" && first + 1 < argc) {
      timeoutMs = static_cast<DWORD>(std::wcstoul(argv[++first], nullptr, 10));
    } else if (option == L"--cwd" && first + 1 < argc) {
      folder = argv[++first];
    } else if (option == L"--") {
      ++first;
      break;
    }
  }
  if (first >= argc) {
    std::fputs("usage: window_watcher [--timeout-ms N] [--cwd DIR] -- program [args...]\n", stderr);
    return 2;
  }
  std::wstring commandLine;
  for (int i = first; i < argc; ++i) {
    commandLine += (i > first ? L" " : L"") + QuoteArgument(argv[i]);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder,
                      &startup, &process)) {
    std::fprintf(stderr, "window_watcher: cannot start the program (error %lu)\n", GetLastError());
    return 2;
  }
  std::set<HWND> answered;
  DWORD start = GetTickCount();
  while (WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT) {
    for (auto it = answered.begin(); it != answered.end();) {
      it = IsWindow(*it) ? std::next(it) : answered.erase(it);
    }
    for (HWND box : FindMessageBoxes(process.dwProcessId)) {
      if (answered.insert(box).second) {
        ReportBox(ReadMessageBox(box));
        PressMessageBoxButton(box);
      }
    }
    if (GetTickCount() - start > timeoutMs) {
      TerminateProcess(process.hProcess, 254);
      PrintLine("timeout");
      return 1;
    }
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  PrintLine("exit\t" + std::to_string(exitCode));
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}
