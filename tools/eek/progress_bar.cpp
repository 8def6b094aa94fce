// Drawing of the progress bar.
#include "tools/eek/progress_bar.h"

#include <cstdio>

#include "tools/eek/host_platform.h"

namespace {

const int32_t kBarCells = 40;

void Draw(ProgressBar* bar) {
  int64_t done = bar->done < bar->total ? bar->done : bar->total;
  int32_t percent = static_cast<int32_t>(done * 100 / bar->total);
  if (percent == bar->lastPercent) {
    return;
  }
  bar->lastPercent = percent;
  int32_t cells = percent * kBarCells / 100;
  char line[kBarCells + 1];
  for (int32_t i = 0; i < kBarCells; i++) {
    line[i] = i < cells ? '#' : '.';
  }
  line[kBarCells] = 0;
  std::fprintf(stderr, "\r%s [%s] %3d%%", bar->label, line, static_cast<int>(percent));
  std::fflush(stderr);
}

}  // namespace

void StartProgressBar(ProgressBar* bar, const char* label, int64_t totalBytes) {
  bar->shown = totalBytes > kProgressBarMinimumBytes && IsStderrTerminal();
  bar->total = totalBytes;
  bar->done = 0;
  bar->lastPercent = -1;
  bar->label = label;
  if (bar->shown) {
    Draw(bar);
  }
}

void AdvanceProgressBar(ProgressBar* bar, int64_t bytes) {
  bar->done += bytes;
  if (bar->shown) {
    Draw(bar);
  }
}

void EndProgressBar(ProgressBar* bar) {
  if (bar->shown) {
    std::fprintf(stderr, "\r%*s\r", kBarCells + 20, "");
    std::fflush(stderr);
    bar->shown = false;
  }
}
