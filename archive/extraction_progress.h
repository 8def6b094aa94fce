// The percentage that the extraction shows: bytes counted so far over the
// archive length.
#pragma once

#include <cstdint>

// 100 x (counted / length), the quotient formed first, in floating point with
// a 64-bit significand, rounded to nearest with an exact half to the even
// neighbour. A length of 0 or less gives 0 (nothing to show); a count past the
// length (a damaged archive whose entries claim more data than it holds) shows
// 100, never more.
int32_t ComputeProgressPercentage(int64_t countedBytes, int64_t archiveLength);

enum : int32_t { kPercentTextCapacity = 16 };

// Writes the label text for a percentage: a space, the decimal digits, a space
// and "%" (" 37 %"), NUL-terminated, into text (kPercentTextCapacity bytes).
// Returns its length.
int32_t FormatPercentText(int32_t percentage, char* text);
