// The reference walk over a whole archive held in memory, for the fuzz targets
// and the host tests: the entries a reader finds, with what the decompression
// of each reads and writes, and whether the walk ended on a damaged header or
// after an entry cut by the end of the archive. Names are left as stored; the
// name rules have their own reference.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/reference/reference_decoder.h"

struct ModelEntry {
  int64_t position = 0;
  int32_t headerSize = 0;
  int64_t dataStart = 0;
  int64_t dataEnd = 0;
  int32_t unpackedSize = -1;
  std::string storedName;
  bool cut = false;         // the header or the name ran past the end of the archive
  size_t readPosition = 0;  // the file's read position when the data is read
  DecompressionRun decompression;
};

struct ModelWalk {
  int32_t layout = 1;
  std::vector<ModelEntry> entries;
  bool damaged = false;
  bool truncated = false;  // the last entry's header, name or data runs past the end
};

// The fixed layout's end position: blanks (space, tab, CR, LF), an optional
// sign, digits and an optional fraction; rounded to the nearest integer with
// an exact half going to the even neighbour; 0 without any digit.
int64_t ReferenceEndPosition(const std::string& field);

// Walks archive[0..size): the first byte chooses the layout (0x02 tagged,
// anything else fixed); each entry's data is decompressed as the installer
// does; the walk stops after a read that came up short, when the next position
// is at or past the end, or on a header whose data would end before it starts
// or past 2 GiB (damaged). Missing header bytes read as zero bytes or as a
// shorter text.
ModelWalk WalkArchiveModel(const uint8_t* archive, size_t size);
