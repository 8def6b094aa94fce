// PE header checksum.
#include "peimage/pe_checksum.h"

namespace {

// Folding the carry back keeps the sum within 16 bits: at most
// 0xFFFF + 0xFFFF = 0x1FFFE, which folds to 0xFFFF.
uint32_t Fold(uint32_t sum) {
  return (sum & 0xFFFF) + (sum >> 16);
}

// A one's-complement sum of words taken one byte later in the file: every
// byte moves to the other half of its word, which swaps the halves of the sum
// (256 * 256 is 1 modulo 0xFFFF).
uint32_t SwapHalves(uint32_t sum) {
  return ((sum & 0xFF) << 8) | (sum >> 8);
}

}  // namespace

void AddToPeChecksum(PeChecksumSum* sum, const uint8_t* bytes, size_t size) {
  uint32_t total = sum->sum;
  size_t k = 0;
  if ((sum->length & 1) != 0 && size > 0) {
    total = Fold(total + (uint32_t{bytes[0]} << 8));
    k = 1;
  }
  for (; k + 1 < size; k += 2) {
    total = Fold(total + (bytes[k] | (uint32_t{bytes[k + 1]} << 8)));
  }
  if (k < size) {
    total = Fold(total + bytes[k]);
  }
  sum->sum = total;
  sum->length += size;
}

void JoinPeChecksum(PeChecksumSum* sum, const PeChecksumSum& next) {
  uint32_t added = (sum->length & 1) != 0 ? SwapHalves(next.sum) : next.sum;
  sum->sum = Fold(sum->sum + added);
  sum->length += next.length;
}

uint32_t FinishPeChecksum(const PeChecksumSum& sum) {
  return static_cast<uint32_t>(sum.sum + sum.length);
}

uint32_t ComputePeChecksum(const uint8_t* bytes, size_t length, size_t checkSumOffset) {
  PeChecksumSum sum{0, 0};
  size_t fieldEnd = checkSumOffset < length ? checkSumOffset : length;
  AddToPeChecksum(&sum, bytes, fieldEnd);
  const uint8_t zeros[4] = {0, 0, 0, 0};
  size_t field =
      checkSumOffset < length ? (length - checkSumOffset < 4 ? length - checkSumOffset : 4) : 0;
  AddToPeChecksum(&sum, zeros, field);
  AddToPeChecksum(&sum, bytes + fieldEnd + field, length - fieldEnd - field);
  return FinishPeChecksum(sum);
}
