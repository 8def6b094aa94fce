#include "progress_test_support.h"

#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <mutex>

#include "frame/frame_state_windows.h"
#include "frame/process_variables_windows.h"
#include "progress/progress_display.h"

namespace {

const char kProgressClass[] = "TarvineSelfExtractProgressDialog";
const UINT kStallMarker = WM_APP + 1;
const UINT kDrainMarker = WM_APP + 2;

// The process as the installer sets it up before the display starts.
class InstallerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(StartFrame());
    CoInitialize(nullptr);
    ClearProcessVariables();
    instanceHandle = GetModuleHandleW(nullptr);
    InitCommonControls();
  }
  void TearDown() override {
    EndFrame();
    CoUninitialize();
  }
};

::testing::Environment* const installerEnvironment =
    ::testing::AddGlobalTestEnvironment(new InstallerEnvironment);

// The hook runs on the progress thread; the test thread reads what it saw.
std::mutex takenLock;
std::vector<TakenMessage> taken;
HANDLE drained = CreateEventW(nullptr, FALSE, FALSE, nullptr);

LRESULT CALLBACK SeeTakenMessage(int code, WPARAM removal, LPARAM lParam) {
  const MSG* message = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && removal == PM_REMOVE) {
    if (message->message == kStallMarker || message->message == kDrainMarker) {
      std::lock_guard<std::mutex> hold(takenLock);
      taken.clear();
    } else {
      std::lock_guard<std::mutex> hold(takenLock);
      taken.push_back({message->hwnd, message->message, message->wParam});
    }
    if (message->message == kStallMarker) {
      Sleep(static_cast<DWORD>(message->wParam));
    } else if (message->message == kDrainMarker) {
      SetEvent(drained);
    }
  }
  return CallNextHookEx(nullptr, code, removal, lParam);
}

struct HangWatch {
  const char* what;
  DWORD milliseconds;
  HANDLE done;
};

DWORD WINAPI EndIfHung(LPVOID context) {
  HangWatch* watch = static_cast<HangWatch*>(context);
  if (WaitForSingleObject(watch->done, watch->milliseconds) == WAIT_TIMEOUT) {
    std::fprintf(stderr, "FAILED: %s did not return within %lu ms\n", watch->what,
                 watch->milliseconds);
    std::fflush(stderr);
    ExitProcess(3);
  }
  delete watch;
  return 0;
}

}  // namespace

ProgressThreadProbe::ProgressThreadProbe(HWND progressWindow) : window_(progressWindow) {
  hook_ = SetWindowsHookExW(WH_GETMESSAGE, SeeTakenMessage, nullptr,
                            GetWindowThreadProcessId(progressWindow, nullptr));
  EXPECT_NE(hook_, nullptr) << "cannot look into the progress thread's queue";
}

ProgressThreadProbe::~ProgressThreadProbe() {
  if (hook_ != nullptr) {
    UnhookWindowsHookEx(hook_);
  }
}

void ProgressThreadProbe::Stall(DWORD milliseconds) {
  PostMessageW(window_, kStallMarker, milliseconds, 0);
}

void ProgressThreadProbe::Drain() {
  ResetEvent(drained);
  ASSERT_TRUE(PostMessageW(window_, kDrainMarker, 0, 0));
  ASSERT_EQ(WaitForSingleObject(drained, 10000), WAIT_OBJECT_0)
      << "the progress thread does not take its messages";
}

std::vector<TakenMessage> ProgressThreadProbe::TakenSinceMarker() {
  std::lock_guard<std::mutex> hold(takenLock);
  return taken;
}

HangGuard::HangGuard(const char* what, DWORD milliseconds) {
  done_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  watcher_ =
      CreateThread(nullptr, 0, EndIfHung, new HangWatch{what, milliseconds, done_}, 0, nullptr);
}

HangGuard::~HangGuard() {
  SetEvent(done_);
  WaitForSingleObject(watcher_, INFINITE);
  CloseHandle(watcher_);
  CloseHandle(done_);
}

std::wstring StoredText(HWND window) {
  wchar_t buffer[2048];
  int length = InternalGetWindowText(window, buffer, 2048);
  return std::wstring(buffer, length > 0 ? length : 0);
}

int CountOwnWindows(const char* className) {
  int count = 0;
  for (HWND window = FindWindowExA(nullptr, nullptr, className, nullptr); window != nullptr;
       window = FindWindowExA(nullptr, window, className, nullptr)) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    count += process == GetCurrentProcessId() ? 1 : 0;
  }
  return count;
}

std::wstring ClassName(HWND window) {
  wchar_t buffer[256];
  int length = GetClassNameW(window, buffer, 256);
  return std::wstring(buffer, length > 0 ? length : 0);
}

int SettledPosition(ProgressThreadProbe* probe, HWND bar) {
  probe->Drain();
  return static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
}

HANDLE KeepProgressThread() {
  HANDLE copy = nullptr;
  DuplicateHandle(GetCurrentProcess(), progressShared.threadHandle, GetCurrentProcess(), &copy, 0,
                  FALSE, DUPLICATE_SAME_ACCESS);
  return copy;
}

DWORD ExitCodeOf(HANDLE thread, DWORD timeoutMs) {
  WaitForSingleObject(thread, timeoutMs);
  DWORD code = STILL_ACTIVE;
  GetExitCodeThread(thread, &code);
  return code;
}

void RegisterRivalClass(WNDPROC procedure) {
  UnregisterClassA(kProgressClass, instanceHandle);
  WNDCLASSA rival{};
  rival.lpfnWndProc = procedure;
  rival.hInstance = instanceHandle;
  rival.lpszClassName = kProgressClass;
  ASSERT_NE(RegisterClassA(&rival), 0) << "cannot register the rival class";
}

void UnregisterRivalClass() {
  UnregisterClassA(kProgressClass, instanceHandle);
}
