#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <sstream>

#include "raster/bitmap32.h"
#include "raster/color.h"
#include "raster/rect.h"

namespace tarnvale::test {

// A bitmap of the given size, every pixel `colour`.
inline void paintUniform(TBitmap32& bitmap, int width, int height, TColor32 colour) {
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) bitmap.ScanLine(y)[x] = colour;
}

// A copy of the pixels (resampler and font are not copied).
inline void copyPixels(const TBitmap32& from, TBitmap32& to) {
  to.SetSize(from.Width(), from.Height());
  for (int y = 0; y < from.Height(); ++y)
    for (int x = 0; x < from.Width(); ++x) to.ScanLine(y)[x] = from.ScanLine(y)[x];
}

// Sets [r.Left, r.Right) × [r.Top, r.Bottom) pixel by pixel, cut to the bitmap:
// the tests' own painter, independent of FillRect.
inline void paintRect(TBitmap32& bitmap, const TRect& r, TColor32 colour) {
  for (int y = std::max(r.Top, 0); y < std::min(r.Bottom, bitmap.Height()); ++y)
    for (int x = std::max(r.Left, 0); x < std::min(r.Right, bitmap.Width()); ++x)
      bitmap.ScanLine(y)[x] = colour;
}

// Pixel-exact equality, reporting how many pixels differ and the first one.
inline ::testing::AssertionResult samePixels(const TBitmap32& actual, const TBitmap32& expected) {
  if (actual.Width() != expected.Width() || actual.Height() != expected.Height())
    return ::testing::AssertionFailure()
           << "size " << actual.Width() << "x" << actual.Height() << ", expected "
           << expected.Width() << "x" << expected.Height();
  std::size_t differing = 0;
  std::ostringstream first;
  for (int y = 0; y < actual.Height(); ++y)
    for (int x = 0; x < actual.Width(); ++x) {
      const TColor32 a = actual.ScanLine(y)[x], e = expected.ScanLine(y)[x];
      if (a != e && differing++ == 0)
        first << " first at (" << x << ", " << y << "): 0x" << std::hex << a << ", expected 0x"
              << e;
    }
  if (differing == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << differing << " pixels differ;" << first.str();
}

// The smallest rectangle around the pixels that differ between two bitmaps of
// one size; empty when none do.
inline TRect changedArea(const TBitmap32& after, const TBitmap32& before) {
  TRect r{after.Width(), after.Height(), 0, 0};
  for (int y = 0; y < after.Height(); ++y)
    for (int x = 0; x < after.Width(); ++x)
      if (after.ScanLine(y)[x] != before.ScanLine(y)[x])
        r = {std::min(r.Left, x), std::min(r.Top, y), std::max(r.Right, x + 1),
             std::max(r.Bottom, y + 1)};
  return r.isEmpty() ? TRect{} : r;
}

}  // namespace tarnvale::test
