// Records what a person would see of one process's windows, as a log of
// observations, one line each (UTF-8, tab-separated, "\n" line ends):
//
//   t=<ms> <kind> key=value ...
//
// t is the time in milliseconds since the record started. A line is written
// when a window is first seen, and again whenever something shown changes:
//
//   window  a visible top-level window: hwnd class caption rect=x,y,w,h (outer,
//           screen coordinates) style exstyle owner visible enabled
//   child   a control of such a window: parent hwnd class id rect=x,y,w,h (in
//           the parent's client coordinates) style visible text, and for a
//           progress bar pos and range=low,high
//   gone    hwnd of a recorded window that no longer exists
//   box     a message box: hwnd caption text buttons ("|"-separated) icon=yes|no
//           style exstyle owner topmost=0|1 thread_windows disabled (the other
//           visible top-level windows of the box's thread, and how many of them
//           are disabled) modal=system (topmost) | task (it disabled the other
//           visible windows of its thread; a thread without any shows "none") |
//           none
//   pressed hwnd of a box whose OK button was pressed
//   exit    code=<the program's exit code>, or "timeout"
//
// Tabs, carriage returns and line feeds in texts are written as \t, \r, \n.
// Handles and styles are hexadecimal (0x...). Texts of other processes'
// windows are read without sending them messages (a hung program cannot stall
// the record); only the bar position is asked for, with a time limit.
#pragma once

#include <windows.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>

struct WindowSnapshot {
  std::wstring className;
  std::wstring text;
  RECT rect;  // top-level: outer rectangle on the screen; child: in the parent's client area
  LONG style;
  LONG exStyle;
  HWND owner;
  int id;
  int position;  // progress bars only, else -1
  int rangeLow;
  int rangeHigh;
};

struct WindowRecord {
  FILE* file;  // may be null: nothing is written
  DWORD processId;
  LARGE_INTEGER start;
  LARGE_INTEGER frequency;
  std::map<HWND, std::string> shown;  // recorded windows and controls: their last line's fields
  std::set<HWND> boxes;               // message boxes already reported
};

void StartWindowRecord(WindowRecord* record, FILE* file, DWORD processId);

// One look at the process's windows: writes what changed since the last look.
// Message boxes seen for the first time are returned (and recorded); the
// caller answers them.
std::set<HWND> ObserveWindows(WindowRecord* record);

// Writes a line of the given kind with the given fields ("key=value" each).
void WriteObservation(WindowRecord* record, const std::string& kind, const std::string& fields);

// The fields of a box line.
std::string DescribeMessageBox(HWND box);

std::string HexOf(uintptr_t value);
// Text as UTF-8 with tabs and line ends escaped.
std::string FieldText(const std::wstring& text);
