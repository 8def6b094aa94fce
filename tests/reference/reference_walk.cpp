#include "tests/reference/reference_walk.h"

#include <algorithm>

namespace {

const int64_t kLargestPosition = 2147483647;

// The bytes of archive[position..position + count) that exist.
std::string BytesAt(const uint8_t* archive, size_t size, int64_t position, int64_t count) {
  std::string bytes;
  for (int64_t k = position; k < position + count && k < static_cast<int64_t>(size); ++k) {
    bytes.push_back(static_cast<char>(archive[k]));
  }
  return bytes;
}

// A little-endian signed 32-bit number at offset of a header of which only
// the first bytes exist; missing bytes count as zero.
int32_t NumberAt(const std::string& header, size_t offset) {
  uint32_t value = 0;
  for (size_t k = 0; k < 4; ++k) {
    uint8_t byte = offset + k < header.size() ? static_cast<uint8_t>(header[offset + k]) : 0;
    value |= static_cast<uint32_t>(byte) << (8 * k);
  }
  return static_cast<int32_t>(value);
}

}  // namespace

int64_t ReferenceEndPosition(const std::string& field) {
  size_t i = field.find_first_not_of(" \t\r\n");
  if (i == std::string::npos) {
    return 0;
  }
  int64_t sign = 1;
  if (field[i] == '+' || field[i] == '-') {
    sign = field[i] == '-' ? -1 : 1;
    ++i;
  }
  // The number as numerator / denominator: every digit, the fraction's too.
  int64_t numerator = 0;
  int64_t denominator = 1;
  bool digits = false;
  bool fraction = false;
  for (; i < field.size(); ++i) {
    char c = field[i];
    if (c >= '0' && c <= '9') {
      numerator = numerator * 10 + (c - '0');
      if (fraction) {
        denominator *= 10;
      }
      digits = true;
    } else if (c == '.' && !fraction) {
      fraction = true;
    } else {
      break;
    }
  }
  if (!digits) {
    return 0;
  }
  int64_t whole = numerator / denominator;
  int64_t twiceRest = 2 * (numerator % denominator);
  if (twiceRest > denominator || (twiceRest == denominator && whole % 2 == 1)) {
    whole += 1;
  }
  return sign * whole;
}

ModelWalk WalkArchiveModel(const uint8_t* archive, size_t size) {
  ModelWalk walk;
  walk.layout = size >= 1 && archive[0] == 0x02 ? 2 : 1;
  bool lastReadShort = size < 1;
  int64_t position = 0;
  const int64_t length = static_cast<int64_t>(size);
  while (!lastReadShort) {
    ModelEntry entry;
    entry.position = position;
    if (walk.layout == 2) {
      std::string header = BytesAt(archive, size, position, 10);
      lastReadShort = header.size() < 10;
      int64_t nameLength = header.size() >= 2 ? static_cast<uint8_t>(header[1]) + 1 : 0;
      entry.headerSize = 10;
      entry.unpackedSize = NumberAt(header, 6);
      entry.storedName = BytesAt(archive, size, position + 10, nameLength);
      if (nameLength > 0) {
        lastReadShort = static_cast<int64_t>(entry.storedName.size()) < nameLength;
      }
      entry.cut = lastReadShort;
      entry.dataStart = position + 10 + nameLength;
      entry.dataEnd = entry.dataStart + NumberAt(header, 2);
    } else {
      std::string header = BytesAt(archive, size, position, 20);
      lastReadShort = header.size() < 20;
      entry.cut = lastReadShort;
      entry.headerSize = 20;
      entry.storedName = header.substr(0, 12);
      entry.dataStart = position + 20;
      entry.dataEnd = ReferenceEndPosition(header.size() > 12 ? header.substr(12) : std::string());
    }
    if (entry.dataEnd < entry.dataStart || entry.dataEnd > kLargestPosition) {
      walk.damaged = true;
      break;
    }
    entry.readPosition = static_cast<size_t>(std::min(entry.dataStart, length));
    entry.decompression =
        SimulateDecompression(archive, size, entry.readPosition, entry.dataStart, entry.dataEnd, 0);
    if (!entry.decompression.chunks.empty()) {
      lastReadShort = entry.decompression.lastReadShort;
    }
    position = entry.dataEnd;
    walk.truncated = entry.cut || entry.dataEnd > length;
    walk.entries.push_back(entry);
    if (length <= position) {
      break;
    }
  }
  return walk;
}
