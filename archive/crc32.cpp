#include "archive/crc32.h"

#include "archive/little_endian.h"

namespace {

const uint32_t kReflectedPolynomial = 0xEDB88320u;

// Slice-by-8: slice[0] is the classic byte table; slice[k][b] is the CRC of the
// byte b followed by k zero bytes, so that eight table look-ups advance the
// CRC by eight bytes at a time.
struct Crc32Tables {
  uint32_t slice[8][256];
};

constexpr Crc32Tables MakeCrc32Tables() {
  Crc32Tables tables{};
  for (uint32_t byte = 0; byte < 256; ++byte) {
    uint32_t crc = byte;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) != 0 ? (crc >> 1) ^ kReflectedPolynomial : crc >> 1;
    }
    tables.slice[0][byte] = crc;
  }
  for (int k = 1; k < 8; ++k) {
    for (uint32_t byte = 0; byte < 256; ++byte) {
      uint32_t previous = tables.slice[k - 1][byte];
      tables.slice[k][byte] = (previous >> 8) ^ tables.slice[0][previous & 0xFF];
    }
  }
  return tables;
}

constexpr Crc32Tables kCrc32Tables = MakeCrc32Tables();

}  // namespace

uint32_t UpdateCrc32(uint32_t crc, const uint8_t* data, size_t size) {
  const auto& t = kCrc32Tables.slice;
  crc = ~crc;
  while (size >= 8) {
    // The second word's part does not depend on crc; only the first word's
    // four look-ups stand between one step and the next.
    uint32_t high = ReadLe32(data + 4);
    uint32_t highPart = (t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF]) ^
                        (t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24]);
    uint32_t low = ReadLe32(data) ^ crc;
    crc = ((t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF]) ^
           (t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24])) ^
          highPart;
    data += 8;
    size -= 8;
  }
  for (; size > 0; --size, ++data) {
    crc = (crc >> 8) ^ t[0][(crc ^ *data) & 0xFF];
  }
  return ~crc;
}
