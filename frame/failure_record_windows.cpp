#include "frame/failure_record.h"

#include <windows.h>

#include "frame/frame_state_windows.h"

bool IsFatalError(uint32_t errorCode) {
  return errorCode == ERROR_ARENA_TRASHED || errorCode == ERROR_INVALID_BLOCK ||
         errorCode == ERROR_BAD_ENVIRONMENT;
}

void RecordFailure(FrameService service, uint32_t errorCode) {
  if (IsFatalError(errorCode)) {
    ExitProcess(255);
  }
  FrameState* state = AcquireFrameState();
  if (state == nullptr) {
    return;
  }
  state->lastFailure.service = service;
  state->lastFailure.errorCode = errorCode;
  state->lastFailure.count += 1;
}

FailureRecord ReadLastFailure() {
  FailureRecord none = {kNoService, 0, 0};
  const FrameState* state = AcquireFrameState();
  return state != nullptr ? state->lastFailure : none;
}
