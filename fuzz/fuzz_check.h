// The checks of the fuzz targets: a violated property is reported on stderr
// and stops the run with a trap, which libFuzzer records as a crash with the
// input that caused it.
#pragma once

#include <cstdio>

#define FUZZ_CHECK(condition, what)                                                         \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property violated: %s (%s)\n", __FILE__, __LINE__, what, \
                   #condition);                                                             \
      __builtin_trap();                                                                     \
    }                                                                                       \
  } while (0)
