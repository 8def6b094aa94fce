#include "archive/extraction_progress.h"

#include <string>

#include <gtest/gtest.h>

namespace {

std::string PercentText(int32_t percentage) {
  char text[kPercentTextCapacity];
  int32_t length = FormatPercentText(percentage, text);
  EXPECT_EQ(std::string(text).size(), static_cast<size_t>(length));
  return std::string(text, static_cast<size_t>(length));
}

TEST(ExtractionProgress, WorkedArchivesGiveTheirPercentages) {
  // 3018-byte archive, one 8-byte name, 3000 packed bytes: chunks of 2048 and 952.
  EXPECT_EQ(68, ComputeProgressPercentage(10 + 2048, 3018));
  EXPECT_EQ(100, ComputeProgressPercentage(10 + 2048 + 952, 3018));
  // 220-byte archive, 200-byte name, 10 packed bytes: one chunk.
  EXPECT_EQ(9, ComputeProgressPercentage(20, 220));
}

TEST(ExtractionProgress, ExactHalvesRoundToEven) {
  EXPECT_EQ(12, ComputeProgressPercentage(1, 8));     // 12.5
  EXPECT_EQ(14, ComputeProgressPercentage(27, 200));  // 13.5
  EXPECT_EQ(0, ComputeProgressPercentage(1, 200));    // 0.5
  EXPECT_EQ(2, ComputeProgressPercentage(3, 200));    // 1.5
  EXPECT_EQ(33, ComputeProgressPercentage(1, 3));
  EXPECT_EQ(67, ComputeProgressPercentage(2, 3));
}

TEST(ExtractionProgress, MatchesExactRationalRoundingAcrossArchiveSizes) {
  // The quotient is formed first and then scaled, which in 64-bit precision
  // agrees with exact rounding of 100 * counted / length for these sizes.
  for (int64_t length : {1, 7, 200, 3018, 65536, 11050424, 2147483647}) {
    for (int64_t step = 1; step <= 997; step += 13) {
      int64_t counted = length * step / 997;
      int64_t numerator = 100 * counted;
      int64_t floorValue = numerator / length;
      int64_t twiceRemainder = 2 * (numerator - floorValue * length);
      int64_t expected = floorValue;
      if (twiceRemainder > length || (twiceRemainder == length && floorValue % 2 == 1)) {
        expected += 1;
      }
      ASSERT_EQ(expected, ComputeProgressPercentage(counted, length))
          << counted << " of " << length;
    }
  }
}

TEST(ExtractionProgress, EmptyArchiveAndOvercountAreBounded) {
  EXPECT_EQ(0, ComputeProgressPercentage(0, 0));
  EXPECT_EQ(0, ComputeProgressPercentage(2048, 0));
  EXPECT_EQ(0, ComputeProgressPercentage(0, 3018));
  EXPECT_EQ(100, ComputeProgressPercentage(3018 + 2048, 3018));
}

TEST(ExtractionProgress, LabelTextIsSpaceDigitsSpacePercent) {
  EXPECT_EQ(" 37 %", PercentText(37));
  EXPECT_EQ(" 100 %", PercentText(100));
  EXPECT_EQ(" 1 %", PercentText(1));
  EXPECT_EQ(" 0 %", PercentText(0));
}

}  // namespace
