#include "display_hooks.h"

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <mutex>

namespace {

std::atomic<bool> watching{false};
std::mutex logLock;
std::vector<std::string> watchLog;

void Log(const std::string& line) {
  std::lock_guard<std::mutex> hold(logLock);
  watchLog.push_back(line);
}

std::string ClassOf(HWND window) {
  char name[128] = {};
  GetClassNameA(window, name, sizeof(name));
  return name;
}

LRESULT CALLBACK OnCreate(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    const CREATESTRUCTA* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
    if ((create->style & WS_CHILD) == 0) {
      Log("create " + ClassOf(reinterpret_cast<HWND>(wParam)));
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK OnSent(int code, WPARAM wParam, LPARAM lParam) {
  const CWPSTRUCT* sent = reinterpret_cast<CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && sent->message == WM_SETTEXT) {
    Log("text " + ClassOf(sent->hwnd) + " " + reinterpret_cast<const char*>(sent->lParam));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK OnQueued(int code, WPARAM removal, LPARAM lParam) {
  const MSG* queued = reinterpret_cast<MSG*>(lParam);
  if (code == HC_ACTION && removal == PM_REMOVE) {
    if (queued->message == PBM_SETPOS) {
      Log("bar " + std::to_string(queued->wParam));
    } else if (queued->message == WM_SYSCOMMAND && (queued->wParam & 0xFFF0) == SC_CLOSE) {
      char label[64] = {};
      GetWindowTextA(FindWindowExA(queued->hwnd, nullptr, "Static", nullptr), label, sizeof(label));
      HWND bar = FindWindowExA(queued->hwnd, nullptr, PROGRESS_CLASSA, nullptr);
      Log(std::string("close ") + label + " " +
          std::to_string(SendMessageA(bar, PBM_GETPOS, 0, 0)));
    }
  }
  return CallNextHookEx(nullptr, code, removal, lParam);
}

// Runs on every new thread before its routine starts.
void NTAPI OnThreadEvent(PVOID, DWORD reason, PVOID) {
  if (reason != DLL_THREAD_ATTACH || !watching.load()) {
    return;
  }
  Log("thread");
  DWORD thread = GetCurrentThreadId();
  SetWindowsHookExA(WH_CBT, OnCreate, nullptr, thread);
  SetWindowsHookExA(WH_CALLWNDPROC, OnSent, nullptr, thread);
  SetWindowsHookExA(WH_GETMESSAGE, OnQueued, nullptr, thread);
}

}  // namespace

extern "C" {
__attribute__((section(".CRT$XLY"), used)) PIMAGE_TLS_CALLBACK watchThreadCallback = OnThreadEvent;
}

void StartWatchingNewThreads() {
  std::lock_guard<std::mutex> hold(logLock);
  watchLog.clear();
  watching.store(true);
}

std::vector<std::string> StopWatchingNewThreads() {
  watching.store(false);
  std::lock_guard<std::mutex> hold(logLock);
  return watchLog;
}
