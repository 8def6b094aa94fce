// The progress display's process-wide record.
#include "progress/progress_display.h"

ProgressShared progressShared = {nullptr, nullptr, nullptr, nullptr};

void ClearProgressShared() {
  progressShared = ProgressShared{nullptr, nullptr, nullptr, nullptr};
}
