// Little-endian field access for PE headers (the archive core's, byte by
// byte) and the alignment arithmetic of sections.
#pragma once

#include <cstdint>

#include "archive/little_endian.h"

// value rounded up to a multiple of alignment (a power of two), in 64 bits so
// that the rounding of a 32-bit field cannot wrap.
inline uint64_t AlignUp(uint64_t value, uint64_t alignment) {
  return (value + alignment - 1) & ~(alignment - 1);
}
