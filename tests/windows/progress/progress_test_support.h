// Support for the in-process tests of the progress display: the process set
// up as the installer sets it up, a look into the progress thread's message
// queue, and a guard that turns a wait that never ends into a test failure.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct TakenMessage {
  HWND window;
  UINT message;
  WPARAM wParam;
};

// A hook on the progress thread that sees every posted message the thread
// takes from its queue, in the order taken. Stall() keeps the thread away
// from its queue for a while, so that what is sent or posted meanwhile waits;
// Drain() returns once everything posted before it has been handled.
class ProgressThreadProbe {
 public:
  explicit ProgressThreadProbe(HWND progressWindow);
  ~ProgressThreadProbe();
  void Stall(DWORD milliseconds);
  void Drain();
  // The messages taken since the last Stall or Drain marker was taken,
  // markers left out.
  std::vector<TakenMessage> TakenSinceMarker();

 private:
  HWND window_;
  HHOOK hook_;
};

// Ends the test program with a message when the guarded code has not returned
// within the given time, so that a wait without end fails instead of hanging.
class HangGuard {
 public:
  HangGuard(const char* what, DWORD milliseconds);
  ~HangGuard();

 private:
  HANDLE done_;
  HANDLE watcher_;
};

std::wstring StoredText(HWND window);
// Top-level windows of the class that belong to this process.
int CountOwnWindows(const char* className);
std::wstring ClassName(HWND window);

// The bar's position once everything posted to it has been handled.
int SettledPosition(ProgressThreadProbe* probe, HWND bar);

// A second handle to the progress thread, kept after the display releases its own.
HANDLE KeepProgressThread();

// Waits for the thread to end; its exit code, or STILL_ACTIVE after timeoutMs.
DWORD ExitCodeOf(HANDLE thread, DWORD timeoutMs);

// Registers a class of the progress window's name with another window
// procedure (after removing the display's own registration, which works once
// no window of the class is left), as another module of the process could.
void RegisterRivalClass(WNDPROC procedure);
void UnregisterRivalClass();
