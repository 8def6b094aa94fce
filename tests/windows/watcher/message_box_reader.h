// Reading and answering message boxes ("#32770" dialog windows) of a process,
// for the test programs that watch what the installer shows.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct MessageBoxView {
  HWND window;
  std::wstring caption;
  std::wstring text;
  std::vector<std::wstring> buttons;  // visible button texts, in child window order
  bool hasIcon;                       // a visible icon control
};

// The visible message boxes whose owning process is processId.
std::vector<HWND> FindMessageBoxes(DWORD processId);

MessageBoxView ReadMessageBox(HWND window);

// Presses the box's OK button (or its only button) without waiting for it.
void PressMessageBoxButton(HWND window);

// Waits until processId shows a message box, up to timeoutMs; null on timeout.
HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs);

// UTF-16 to UTF-8, for printing.
std::string ToUtf8(const std::wstring& text);
