// The record of failed system calls. A service that sees one of its calls fail
// records the failure for the thread that asked for the service and returns
// normally; the installer never reads the record, its steps check their
// outcome by other means. A few failures show that the process itself is
// damaged; recording one of those ends the process at once.
#pragma once

#include <cstdint>

enum FrameService : int32_t {
  kNoService = 0,
  kDeleteMatchingFilesService,
  kMakeDirectoryService,
  kChangeDirectoryService,
  kFileAccessService,
  kStartProgramService,
  kProgressThreadService,
};

struct FailureRecord {
  FrameService service;  // the service that recorded the latest failure
  uint32_t errorCode;    // its system error code
  uint32_t count;        // failures recorded on this thread so far
};

// The error codes that end the process when a failure with one of them is
// recorded: ERROR_ARENA_TRASHED, ERROR_INVALID_BLOCK, ERROR_BAD_ENVIRONMENT.
bool IsFatalError(uint32_t errorCode);

// Records a failure for the calling thread. A fatal error code ends the
// process with exit code 255 and no message instead.
void RecordFailure(FrameService service, uint32_t errorCode);

// The calling thread's record; all zero while nothing has been recorded.
FailureRecord ReadLastFailure();
