// The limit of the Windows binary file open, for callers that build paths and
// must not let the open cut them into the name of a different file.
#pragma once

#include <cstdint>

enum : int32_t {
  kFilePathLimit = 255,  // UTF-16 units of a path that the open uses; the rest is dropped
};
