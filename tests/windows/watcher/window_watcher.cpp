// window_watcher: starts a program, answers every message box it shows with
// OK, and reports the program's exit code; optionally records everything a
// person would see of the program's windows while it runs (window_record.h).
//
// usage: window_watcher.exe [--timeout-ms N] [--cwd DIR] [--record FILE] [--poll-ms N]
//                           [--answer-after-ms N] -- program [arguments...]
//
// Standard output, one line each, UTF-8, tab-separated:
//   box <caption> <text> <buttons, "|"-separated> <icon|noicon>
//   exit <code>        or    timeout
// --record FILE writes the observation log to FILE (a Windows path); the
// windows are then looked at every --poll-ms milliseconds (default 1, else 20).
// --answer-after-ms N leaves each box up for N ms after it was first seen
// (default 0), as a person reading it would.
// Exit code: 0 when the program ended, 1 on timeout (the program is ended with
// 254), 2 for a usage error or a program that cannot be started.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "message_box_reader.h"
#include "window_record.h"

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

// Reports the boxes seen for the first time and presses OK on those that have
// been up for answerAfterMs.
void AnswerBoxes(WindowRecord* record, const std::set<HWND>& boxes, std::map<HWND, DWORD>* pending,
                 DWORD answerAfterMs) {
  for (HWND box : boxes) {
    ReportBox(ReadMessageBox(box));
    (*pending)[box] = GetTickCount();
  }
  for (auto box = pending->begin(); box != pending->end();) {
    if (GetTickCount() - box->second < answerAfterMs) {
      ++box;
      continue;
    }
    PressMessageBoxButton(box->first);
    WriteObservation(record, "pressed", "hwnd=" + HexOf(reinterpret_cast<uintptr_t>(box->first)));
    box = pending->erase(box);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // "\n" line ends, as the scripts expect
  DWORD timeoutMs = 30000;
  DWORD pollMs = 0;
  DWORD answerAfterMs = 0;
  const wchar_t* folder = nullptr;
  const wchar_t* recordPath = nullptr;
  int first = 1;
  for (; first < argc; ++first) {
    std::wstring option = argv[first];
    if (option == L"--timeout-ms" && first + 1 < argc) {
      timeoutMs = static_cast<DWORD>(std::wcstoul(argv[++first], nullptr, 10));
    } else if (option == L"--poll-ms" && first + 1 < argc) {
      pollMs = static_cast<DWORD>(std::wcstoul(argv[++first], nullptr, 10));
    } else if (option == L"--answer-after-ms" && first + 1 < argc) {
      answerAfterMs = static_cast<DWORD>(std::wcstoul(argv[++first], nullptr, 10));
    } else if (option == L"--cwd" && first + 1 < argc) {
      folder = argv[++first];
    } else if (option == L"--record" && first + 1 < argc) {
      recordPath = argv[++first];
    } else if (option == L"--") {
      ++first;
      break;
    }
  }
  if (first >= argc) {
    std::fputs(
        "usage: window_watcher [--timeout-ms N] [--cwd DIR] [--record FILE] [--poll-ms N] "
        "[--answer-after-ms N] -- program [args...]\n",
        stderr);
    return 2;
  }
  if (pollMs == 0) {
    pollMs = recordPath != nullptr ? 1 : 20;
  }
  FILE* recordFile = nullptr;
  if (recordPath != nullptr && (recordFile = _wfopen(recordPath, L"wb")) == nullptr) {
    std::fprintf(stderr, "window_watcher: cannot write the record file\n");
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
  WindowRecord record{};
  StartWindowRecord(&record, recordFile, process.dwProcessId);
  DWORD start = GetTickCount();
  std::map<HWND, DWORD> pending;  // boxes shown and not yet answered: first seen at
  while (WaitForSingleObject(process.hProcess, pollMs) == WAIT_TIMEOUT) {
    AnswerBoxes(&record, ObserveWindows(&record), &pending, answerAfterMs);
    if (GetTickCount() - start > timeoutMs) {
      TerminateProcess(process.hProcess, 254);
      WriteObservation(&record, "exit", "timeout");
      PrintLine("timeout");
      return 1;
    }
  }
  ObserveWindows(&record);  // what is gone with the program
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  WriteObservation(&record, "exit", "code=" + std::to_string(exitCode));
  PrintLine("exit\t" + std::to_string(exitCode));
  if (recordFile != nullptr) {
    std::fclose(recordFile);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}
