// The PE header checksum, as the loader checks it for drivers and system DLLs
// and as image tools report it.
#pragma once

#include <cstddef>
#include <cstdint>

// The 16-bit one's-complement sum of the file's little-endian words (an odd
// last byte counts as a word of its own), with the 4-byte CheckSum field at
// checkSumOffset taken as zero, plus the file length.
uint32_t ComputePeChecksum(const uint8_t* bytes, size_t length, size_t checkSumOffset);
