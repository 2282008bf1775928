#include "display/display_copy.h"

#include <algorithm>
#include <cstring>

namespace tarnvale {
namespace {

// The work bitmap is compared in tiles: small enough that a bar's blocks do
// not drag in much of the skin beside them, large enough to stay few.
constexpr int kTileWidth = 16;
constexpr int kTileHeight = 8;

}  // namespace

void drawWholeWork(const TBitmap32& work, TBitmap32& display, bool stretch) {
  if (stretch)
    display.Draw(display.BoundsRect(), work.BoundsRect(), work);
  else
    display.Draw(0, 0, work);
}

void DisplayCopy::copyWhole(const TBitmap32& work, TBitmap32& display, bool stretch) {
  drawWholeWork(work, display, stretch);
  source_.assign(work.Bits(), work.Bits() + static_cast<std::size_t>(work.Width()) * work.Height());
  sourceWidth_ = work.Width();
  sourceHeight_ = work.Height();
  displayWidth_ = display.Width();
  displayHeight_ = display.Height();
  stretched_ = stretch;
  valid_ = true;
  displayChanges_ = display.ChangeCount();
  // Room for the most changes there can be, so that memory does not grow
  // from buffer to buffer as larger changes come along.
  const std::size_t columns = (static_cast<std::size_t>(work.Width()) + kTileWidth - 1) / kTileWidth;
  const std::size_t bands = (static_cast<std::size_t>(work.Height()) + kTileHeight - 1) / kTileHeight;
  changes_.reserve(columns * bands);
  open_.reserve(columns);
  band_.reserve(columns);
  dirty_.reserve(columns);
}

void DisplayCopy::copy(const TBitmap32& work, TBitmap32& display, bool stretch) {
  // Anything else written to the display since (a skin, a new size) means
  // its pixels are no longer the copy of source_.
  const bool whole = !valid_ || work.Empty() || display.Empty() || stretch != stretched_ ||
                     work.Width() != sourceWidth_ || work.Height() != sourceHeight_ ||
                     display.Width() != displayWidth_ || display.Height() != displayHeight_ ||
                     display.ChangeCount() != displayChanges_;
  if (whole) {
    copyWhole(work, display, stretch);
    return;
  }
  findChanges(work);
  display.BeginUpdate();
  for (const TRect& area : changes_) {
    if (stretch)
      display.Draw(display.BoundsRect(), work.BoundsRect(), work,
                   displayArea(area, work, display));
    else
      display.Draw(area, area, work);
  }
  display.EndUpdate();
  displayChanges_ = display.ChangeCount();
}

void DisplayCopy::findChanges(const TBitmap32& work) {
  changes_.clear();
  const int width = work.Width();
  const int height = work.Height();
  const int columns = (width + kTileWidth - 1) / kTileWidth;
  std::vector<TRect>& open = open_;  // changed runs of the previous band, still growing
  std::vector<TRect>& band = band_;
  std::vector<char>& dirty = dirty_;
  open.clear();
  dirty.assign(static_cast<std::size_t>(columns), 0);
  for (int top = 0; top < height; top += kTileHeight) {
    const int bottom = std::min(top + kTileHeight, height);
    std::fill(dirty.begin(), dirty.end(), 0);
    for (int y = top; y < bottom; ++y) {
      const TColor32* now = work.ScanLine(y);
      const TColor32* was = source_.data() + static_cast<std::size_t>(y) * width;
      if (std::memcmp(now, was, sizeof(TColor32) * width) == 0) continue;
      for (int c = 0; c < columns; ++c) {
        if (dirty[c]) continue;
        const int left = c * kTileWidth;
        const int n = std::min(kTileWidth, width - left);
        if (std::memcmp(now + left, was + left, sizeof(TColor32) * n) != 0) dirty[c] = 1;
      }
    }
    // Runs of changed tiles; a run directly under one of the same columns
    // extends it downwards.
    band.clear();
    for (int c = 0; c < columns;) {
      if (!dirty[c]) {
        ++c;
        continue;
      }
      const int first = c;
      while (c < columns && dirty[c]) ++c;
      TRect run{first * kTileWidth, top, std::min(c * kTileWidth, width), bottom};
      for (int y = top; y < bottom; ++y) {
        const TColor32* now = work.ScanLine(y);
        std::copy(now + run.Left, now + run.Right,
                  source_.data() + static_cast<std::size_t>(y) * width + run.Left);
      }
      const auto above = std::find_if(open.begin(), open.end(), [&](const TRect& r) {
        return r.Left == run.Left && r.Right == run.Right && r.Bottom == top;
      });
      if (above != open.end()) {
        run.Top = above->Top;
        open.erase(above);
      }
      band.push_back(run);
    }
    // What did not grow is finished.
    changes_.insert(changes_.end(), open.begin(), open.end());
    open.swap(band);
  }
  changes_.insert(changes_.end(), open.begin(), open.end());
}

// The display pixels a stretched Draw computes from any pixel of workArea:
// the area scaled, widened by one source pixel's reach (bilinear pairs) and
// a rounding pixel more on each side, clipped to the display.
TRect DisplayCopy::displayArea(const TRect& workArea, const TBitmap32& work,
                               const TBitmap32& display) const {
  auto span = [](int from, int to, long long srcLen, long long dstLen, int& outFrom, int& outTo) {
    const long long reach = (dstLen + srcLen - 1) / srcLen + 2;
    const long long lo = from * dstLen / srcLen - reach;
    const long long hi = (to * dstLen + srcLen - 1) / srcLen + reach;
    outFrom = static_cast<int>(std::clamp<long long>(lo, 0, dstLen));
    outTo = static_cast<int>(std::clamp<long long>(hi, 0, dstLen));
  };
  TRect area;
  span(workArea.Left, workArea.Right, work.Width(), display.Width(), area.Left, area.Right);
  span(workArea.Top, workArea.Bottom, work.Height(), display.Height(), area.Top, area.Bottom);
  return area;
}

}  // namespace tarnvale
