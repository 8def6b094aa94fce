#include "frame/process_variables_windows.h"

#include "progress/progress_display.h"

HINSTANCE instanceHandle = nullptr;

// The progress display's shared record is a process-wide variable too; it is
// kept here so that clearing it needs nothing beyond the frame.
ProgressShared progressShared = {nullptr, nullptr, nullptr, nullptr};

void ClearProcessVariables() {
  instanceHandle = nullptr;
  progressShared = ProgressShared{nullptr, nullptr, nullptr, nullptr};
}
