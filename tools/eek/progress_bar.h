// A one-line progress bar on stderr for long runs of the tool. It is shown only
// when stderr is a terminal and the work is large enough to be worth watching.
#pragma once

#include <cstdint>

enum : int64_t { kProgressBarMinimumBytes = 4 * 1024 * 1024 };

struct ProgressBar {
  bool shown;
  int64_t total;
  int64_t done;
  int32_t lastPercent;  // the percentage drawn last, -1 before the first draw
  const char* label;
};

void StartProgressBar(ProgressBar* bar, const char* label, int64_t totalBytes);
void AdvanceProgressBar(ProgressBar* bar, int64_t bytes);
// Clears the line so that later messages start at its beginning.
void EndProgressBar(ProgressBar* bar);
