#include "progress/progress_layout.h"

namespace {

const int32_t kReferenceScreenWidth = 640;
const int32_t kReferenceScreenHeight = 480;
const int32_t kReferenceWindowWidth = 320;
const int32_t kReferenceWindowHeight = 110;

// Floor division for a positive divisor; exact on the 64-bit product.
int64_t FloorDivide(int64_t dividend, int64_t divisor) {
  int64_t quotient = dividend / divisor;
  if (dividend % divisor != 0 && dividend < 0) {
    quotient -= 1;
  }
  return quotient;
}

}  // namespace

int32_t ScaleRoundHalfEven(int32_t value, int32_t numerator, int32_t denominator) {
  int64_t product = static_cast<int64_t>(value) * numerator;
  int64_t quotient = FloorDivide(product, denominator);
  int64_t twiceRemainder = 2 * (product - quotient * denominator);
  if (twiceRemainder > denominator || (twiceRemainder == denominator && (quotient & 1) != 0)) {
    quotient += 1;
  }
  return static_cast<int32_t>(quotient);
}

ScreenRect LayoutProgressWindow(int32_t screenWidth, int32_t screenHeight) {
  ScreenRect window;
  window.width = static_cast<int32_t>(FloorDivide(
      static_cast<int64_t>(screenWidth) * kReferenceWindowWidth, kReferenceScreenWidth));
  window.height = static_cast<int32_t>(FloorDivide(
      static_cast<int64_t>(screenHeight) * kReferenceWindowHeight, kReferenceScreenHeight));
  window.x = static_cast<int32_t>(FloorDivide(static_cast<int64_t>(screenWidth) - window.width, 2));
  window.y =
      static_cast<int32_t>(FloorDivide(static_cast<int64_t>(screenHeight) - window.height, 2));
  return window;
}

ScreenRect ScaleReferenceRect(ScreenRect reference, int32_t screenWidth, int32_t screenHeight) {
  ScreenRect scaled;
  scaled.x = ScaleRoundHalfEven(reference.x, screenWidth, kReferenceScreenWidth);
  scaled.y = ScaleRoundHalfEven(reference.y, screenHeight, kReferenceScreenHeight);
  scaled.width = ScaleRoundHalfEven(reference.width, screenWidth, kReferenceScreenWidth);
  scaled.height = ScaleRoundHalfEven(reference.height, screenHeight, kReferenceScreenHeight);
  return scaled;
}
