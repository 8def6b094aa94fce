// The PE header checksum, as the loader checks it for drivers and system DLLs
// and as image tools report it.
#pragma once

#include <cstddef>
#include <cstdint>

// The 16-bit one's-complement sum of the file's little-endian words (an odd
// last byte counts as a word of its own), with the 4-byte CheckSum field at
// checkSumOffset taken as zero, plus the file length.
uint32_t ComputePeChecksum(const uint8_t* bytes, size_t length, size_t checkSumOffset);

// The same sum taken piece by piece, for a file written as it is summed: the
// bytes are added in file order (with the CheckSum field as zeros), sums of
// separate runs of bytes are joined in file order, and the checksum is the
// folded sum plus the length.
struct PeChecksumSum {
  uint32_t sum;     // folded to 16 bits
  uint64_t length;  // bytes added so far
};

void AddToPeChecksum(PeChecksumSum* sum, const uint8_t* bytes, size_t size);
// Adds the sum of a run of bytes that follows the ones summed so far.
void JoinPeChecksum(PeChecksumSum* sum, const PeChecksumSum& next);
uint32_t FinishPeChecksum(const PeChecksumSum& sum);
