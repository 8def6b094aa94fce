// Placement of the progress window and its controls, as pure arithmetic on the
// screen size. All sizes are designed for a 640 x 480 screen and scaled.
#pragma once

#include <cstdint>

struct ScreenRect {
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
};

// The window's outer rectangle: 320 x 110 on a 640 x 480 screen, scaled and
// centred, every quotient rounded down.
ScreenRect LayoutProgressWindow(int32_t screenWidth, int32_t screenHeight);

// A child control's rectangle from its reference rectangle (client coordinates
// on a 640 x 480 screen): horizontal values scale with the screen width,
// vertical values with its height, rounded to nearest with halves to even.
ScreenRect ScaleReferenceRect(ScreenRect reference, int32_t screenWidth, int32_t screenHeight);

// round(value * numerator / denominator) with an exact half going to the even
// neighbour; denominator > 0.
int32_t ScaleRoundHalfEven(int32_t value, int32_t numerator, int32_t denominator);
