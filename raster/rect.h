#pragma once

#include <algorithm>

namespace tarnvale {

// Half-open: Left and Top are inside, Right and Bottom are the first column
// and row outside.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  long long width() const { return static_cast<long long>(Right) - Left; }
  long long height() const { return static_cast<long long>(Bottom) - Top; }
  bool isEmpty() const { return Right <= Left || Bottom <= Top; }
  bool contains(const TRect& other) const {
    return other.Left >= Left && other.Top >= Top && other.Right <= Right && other.Bottom <= Bottom;
  }
  friend bool operator==(const TRect&, const TRect&) = default;
};

inline TRect intersect(const TRect& a, const TRect& b) {
  return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
}

}  // namespace tarnvale
