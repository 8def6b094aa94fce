#include "archive/extraction_progress.h"

#include <cmath>

static_assert(sizeof(long double) >= 10, "the percentage needs an 80-bit long double");

int32_t ComputeProgressPercentage(int64_t countedBytes, int64_t archiveLength) {
  if (archiveLength <= 0 || countedBytes <= 0) {
    return 0;
  }
  if (countedBytes >= archiveLength) {
    return 100;
  }
  // x87 extended precision: a 64-bit significand, as the display has always used.
  long double quotient = static_cast<long double>(countedBytes) / archiveLength;
  long double scaled = quotient * 100.0L;
  long double whole = std::floor(scaled);
  long double fraction = scaled - whole;
  int32_t percentage = static_cast<int32_t>(whole);
  if (fraction > 0.5L || (fraction == 0.5L && (percentage & 1) != 0)) {
    percentage += 1;
  }
  return percentage;
}

int32_t FormatPercentText(int32_t percentage, char* text) {
  char digits[12];
  int32_t digitCount = 0;
  uint32_t magnitude =
      percentage < 0 ? 0u - static_cast<uint32_t>(percentage) : static_cast<uint32_t>(percentage);
  do {
    digits[digitCount++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  int32_t length = 0;
  text[length++] = ' ';
  if (percentage < 0) {
    text[length++] = '-';
  }
  while (digitCount > 0) {
    text[length++] = digits[--digitCount];
  }
  text[length++] = ' ';
  text[length++] = '%';
  text[length] = '\0';
  return length;
}
