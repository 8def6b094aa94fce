// A BinaryFile that collects what is written in memory, for an archive that
// goes into an installer rather than into a file of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/binary_file.h"

struct MemoryOutput {
  std::vector<uint8_t> bytes;
  size_t position;
};

// Fills file with operations on memory (emptied first), which must outlive it.
void AttachMemoryOutput(MemoryOutput* memory, BinaryFile* file);
