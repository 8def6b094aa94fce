// In-memory files for the fuzz targets: a read-only source over the fuzz input
// that records every request, and an output sink with a fixed capacity that
// records every write. Both check that the caller's buffers are as large as
// the counts it passes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/binary_file.h"

struct SourceFile {
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  size_t position = 0;
  // At most this many bytes per read when positive, as a pipe would deliver.
  int32_t deliveryLimit = 0;
  std::vector<int32_t> readRequests;
  size_t deliveredTotal = 0;
  int32_t seekCount = 0;
  int32_t writeCount = 0;
  int32_t closeCount = 0;
};

struct SinkFile {
  std::vector<uint8_t> bytes;
  size_t capacity = 0;  // writing past it is a violation
  std::vector<int32_t> writeSizes;
  int32_t closeCount = 0;
  int32_t readOrSeekCount = 0;
};

BinaryFile OpenSourceFile(SourceFile* source);
BinaryFile OpenSinkFile(SinkFile* sink);
