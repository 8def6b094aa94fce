// The progress window: its class, the window with its label and bar, and the
// window procedure. Everything here runs on the progress thread.
#pragma once

#include <windows.h>

#include <cstdint>

enum : int32_t {
  kProgressLabelId = 100,
  kProgressBarId = 200,
};

// Registers the class (a registration that fails is not an error here: the
// class may exist already), creates the window centred on the screen, shows
// and paints it. While CreateWindowExA runs, the window's WM_CREATE publishes
// the label, the bar and finally the window in progressShared. Returns what
// CreateWindowExA returned.
HWND CreateProgressWindow(HWND parent);

// Creates a child control at a rectangle given for a 640 x 480 screen, scaled
// to the screen size read now. Class name and text are cut to 254 characters.
HWND CreateScaledChild(const char* className, const char* text, uint32_t style, int32_t x,
                       int32_t y, int32_t width, int32_t height, HWND parent, uint32_t id,
                       HINSTANCE instance);

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
