// An in-memory BinaryFile for tests: it records every read, write, seek and
// close, and can deliver fewer bytes per read than asked, as a pipe would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/binary_file.h"

struct MemoryFile {
  std::vector<uint8_t> bytes;
  size_t position = 0;
  // At most this many bytes per read when non-negative.
  int32_t deliveryLimit = -1;
  std::vector<int32_t> readSizes;  // the sizes asked for
  std::vector<int32_t> writeSizes;
  std::vector<int32_t> seeks;
  int32_t closeCount = 0;
};

// A BinaryFile whose operations act on memory; it stays valid while memory lives.
BinaryFile OpenMemoryFile(MemoryFile* memory);

std::vector<uint8_t> BytesOf(const std::string& text);
std::vector<uint8_t> BytesOfHex(const std::string& hex);  // "02 09 1C ..."
