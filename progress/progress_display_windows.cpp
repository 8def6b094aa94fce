#include "progress/progress_display.h"

#include <commctrl.h>

#include "frame/failure_record.h"
#include "frame/guarded_call_windows.h"
#include "frame/message_box.h"
#include "frame/system_calls_windows.h"
#include "progress/progress_shared_windows.h"
#include "progress/progress_thread_windows.h"
#include "texts/installer_texts.h"

namespace {

const SIZE_T kProgressThreadStackSize = 0x100000;
// Texts handed to SetWindowTextA: 1023 characters and a zero.
enum : int32_t { kControlTextCapacity = 1023 };
// How many polls of the window handle pass between two looks at the thread.
const uint32_t kPollsPerThreadCheck = 256;

HANDLE CreateProgressThread(HWND parent) {
  GuardedOutcome<HANDLE> made = GuardedCall([&] {
    return CreateThread(nullptr, kProgressThreadStackSize, ProgressThreadMain, parent, 0, nullptr);
  });
  if (made.failed) {
    RecordFailure(kProgressThreadService, made.lastError);
  }
  // A handle means a running thread, whatever the last error says; dropping it
  // would leave a window that nobody closes.
  return made.value;
}

// A zero-timeout look at the thread object: it never waits.
bool HasThreadEnded(HANDLE thread) {
  return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
}

// Polls, without pause, until the progress thread has published its window
// (or null). A thread that ended without publishing anything, for instance
// one that was ended while it made its window, counts as having published null.
HWND WaitForProgressWindow(HANDLE thread) {
  uint32_t polls = 0;
  for (;;) {
    HWND window = LoadShared(&progressShared.windowHandle);
    if (window != PendingWindowMark()) {
      return window;
    }
    if (++polls % kPollsPerThreadCheck == 0 && HasThreadEnded(thread)) {
      window = LoadShared(&progressShared.windowHandle);
      if (window == PendingWindowMark()) {
        window = nullptr;
        StoreShared(&progressShared.windowHandle, window);
      }
      return window;
    }
  }
}

// Posts the close request and polls, without pause, until the window is gone.
// A request that cannot be queued (a full queue) is posted again.
void CloseAndWaitForWindow(HWND window) {
  bool posted = false;
  while (IsWindow(window)) {
    if (!posted) {
      posted = PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0) != 0;
    }
  }
}

}  // namespace

HWND StartProgressDisplay(HWND parent) {
  StoreShared(&progressShared.labelHandle, static_cast<HWND>(nullptr));
  StoreShared(&progressShared.barHandle, static_cast<HWND>(nullptr));
  // Before the thread exists, so that a window published quickly is not missed.
  StoreShared(&progressShared.windowHandle, PendingWindowMark());
  HANDLE thread = CreateProgressThread(parent);
  StoreShared(&progressShared.threadHandle, thread);
  if (thread == nullptr) {
    StoreShared(&progressShared.windowHandle, static_cast<HWND>(nullptr));
    ShowMessage(TextFrom(kThreadFailureText), TextFrom(kThreadFailureCaption), MB_OK);
    return nullptr;
  }
  return WaitForProgressWindow(thread);
}

void SetControlText(HWND window, const AnsiText& text) {
  char buffer[kControlTextCapacity + 1];
  int32_t count = 0;
  while (count < kControlTextCapacity && count < text.length && text.chars[count] != '\0') {
    buffer[count] = text.chars[count];
    ++count;
  }
  buffer[count] = '\0';
  // For a window of the progress thread this returns once that thread has
  // handled WM_SETTEXT.
  SetWindowTextA(window, buffer);
}

int32_t SetProgressPercent(int32_t percent) {
  int32_t position = percent < 1 ? 1 : percent;
  HWND bar = LoadShared(&progressShared.barHandle);
  // Without a bar a post would become a thread message of this thread.
  if (bar != nullptr) {
    PostMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  }
  return 0;
}

bool CloseProgressDisplay() {
  HWND window = LoadShared(&progressShared.windowHandle);
  if (window != nullptr && window != PendingWindowMark()) {
    CloseAndWaitForWindow(window);
  }
  // Taken out of the record, so that a second close cannot release it again.
  HANDLE thread = TakeShared(&progressShared.threadHandle);
  if (thread == nullptr) {
    return false;
  }
  GuardedOutcome<BOOL> closed = GuardedCall([&] { return CloseHandle(thread); });
  if (closed.failed) {
    RecordFailure(kProgressThreadService, closed.lastError);
  }
  return closed.value != 0 && !closed.failed;
}

HWND ProgressLabelHandle() {
  return LoadShared(&progressShared.labelHandle);
}
