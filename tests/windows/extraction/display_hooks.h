// Watches the real progress display from inside the test process. Every
// thread started while watching gets thread hooks before its routine runs (a
// TLS callback of the test program), so nothing it handles can be missed.
// The log holds, in the order that thread handled them:
//
//   thread                  a thread was started
//   create <class>          a top-level window was created
//   text <class> <text>     a window text was set (WM_SETTEXT)
//   bar <n>                 a bar position was taken from the queue (PBM_SETPOS)
//   close <label> <n>       the close request was taken from the queue, with the
//                           label's text and the bar's position at that moment
#pragma once

#include <string>
#include <vector>

void StartWatchingNewThreads();
std::vector<std::string> StopWatchingNewThreads();
