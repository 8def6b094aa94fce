#include "progress/progress_layout.h"

#include <gtest/gtest.h>

namespace {

struct WorkedLayout {
  int32_t screenWidth, screenHeight;
  ScreenRect window, label, bar;
};

// The window rounds down; the children round half to even.
const WorkedLayout kWorkedLayouts[] = {
    {640, 480, {160, 185, 320, 110}, {20, 20, 280, 20}, {20, 50, 280, 18}},
    {800, 600, {200, 231, 400, 137}, {25, 25, 350, 25}, {25, 62, 350, 22}},
    {1024, 768, {256, 296, 512, 176}, {32, 32, 448, 32}, {32, 80, 448, 29}},
    {1366, 768, {341, 296, 683, 176}, {43, 32, 598, 32}, {43, 80, 598, 29}},
    {1920, 1080, {480, 416, 960, 247}, {60, 45, 840, 45}, {60, 112, 840, 40}},
};

const ScreenRect kLabelReference = {20, 20, 280, 20};
const ScreenRect kBarReference = {20, 50, 280, 18};

void ExpectRect(const ScreenRect& expected, const ScreenRect& actual, const char* what) {
  EXPECT_EQ(expected.x, actual.x) << what;
  EXPECT_EQ(expected.y, actual.y) << what;
  EXPECT_EQ(expected.width, actual.width) << what;
  EXPECT_EQ(expected.height, actual.height) << what;
}

TEST(ProgressLayout, WorkedScreensGiveTheirWindowLabelAndBar) {
  for (const WorkedLayout& layout : kWorkedLayouts) {
    SCOPED_TRACE(testing::Message() << layout.screenWidth << "x" << layout.screenHeight);
    ExpectRect(layout.window, LayoutProgressWindow(layout.screenWidth, layout.screenHeight),
               "window");
    ExpectRect(layout.label,
               ScaleReferenceRect(kLabelReference, layout.screenWidth, layout.screenHeight),
               "label");
    ExpectRect(layout.bar,
               ScaleReferenceRect(kBarReference, layout.screenWidth, layout.screenHeight), "bar");
  }
}

TEST(ProgressLayout, HalvesGoToTheEvenNeighbourAndOtherwiseToNearest) {
  // 112.5 -> 112, 40.5 -> 40, 62.5 -> 62, 22.5 -> 22, 113.5 -> 114.
  EXPECT_EQ(112, ScaleRoundHalfEven(50, 1080, 480));
  EXPECT_EQ(40, ScaleRoundHalfEven(18, 1080, 480));
  EXPECT_EQ(62, ScaleRoundHalfEven(50, 600, 480));
  EXPECT_EQ(22, ScaleRoundHalfEven(18, 600, 480));
  EXPECT_EQ(114, ScaleRoundHalfEven(227, 1, 2));
  EXPECT_EQ(3, ScaleRoundHalfEven(8, 1, 3));    // 2.67
  EXPECT_EQ(2, ScaleRoundHalfEven(7, 1, 3));    // 2.33
  EXPECT_EQ(-2, ScaleRoundHalfEven(-5, 1, 2));  // -2.5 -> -2
}

TEST(ProgressLayout, WindowStaysCentredAndRoundsDownOnOddScreens) {
  for (int32_t width = 1; width <= 4000; width += 37) {
    for (int32_t height = 1; height <= 3000; height += 41) {
      ScreenRect window = LayoutProgressWindow(width, height);
      ASSERT_EQ(width / 2, window.width);
      ASSERT_EQ(height * 110 / 480, window.height);
      ASSERT_LE(0, window.x);
      ASSERT_LE(0, window.y);
      ASSERT_LE(width - window.width - 1, 2 * window.x);
      ASSERT_GE(width - window.width, 2 * window.x);
    }
  }
}

}  // namespace
