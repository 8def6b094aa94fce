// PE header checksum.
#include "peimage/pe_checksum.h"

uint32_t ComputePeChecksum(const uint8_t* bytes, size_t length, size_t checkSumOffset) {
  auto byteAt = [&](size_t k) -> uint32_t {
    bool inField = k >= checkSumOffset && k - checkSumOffset < 4;
    return k < length && !inField ? bytes[k] : 0;
  };
  uint32_t sum = 0;
  for (size_t k = 0; k < length; k += 2) {
    sum += byteAt(k) | (byteAt(k + 1) << 8);
    // Folding the carry back keeps the sum within 16 bits: at most
    // 0xFFFF + 0xFFFF = 0x1FFFE, which folds to 0xFFFF.
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return static_cast<uint32_t>(sum + length);
}
