#include "display/display_copy.h"

#include <algorithm>
#include <cstring>

namespace tarnvale {
namespace {

// Changed areas kept between two copies; a buffer brings a few (each bar, each
// readout). Past this many the next copy is whole.
constexpr std::size_t kMaxChanges = 256;
// Areas this close along a shared edge are drawn as one: the blocks of a bar
// come one after another, a pixel apart.
constexpr int kJoinGap = 8;
constexpr int kColumnBlock = 8;

bool joinable(const TRect& a, const TRect& b) {
  if (a.Left == b.Left && a.Right == b.Right)
    return b.Top <= a.Bottom + kJoinGap && a.Top <= b.Bottom + kJoinGap;
  if (a.Top == b.Top && a.Bottom == b.Bottom)
    return b.Left <= a.Right + kJoinGap && a.Left <= b.Right + kJoinGap;
  return false;
}

}  // namespace

void drawWholeWork(const TBitmap32& work, TBitmap32& display, bool stretch) {
  if (stretch)
    display.Draw(display.BoundsRect(), work.BoundsRect(), work);
  else
    display.Draw(0, 0, work);
}

DisplayCopy::~DisplayCopy() {
  if (watched_ != nullptr) watched_->SetOnChange(nullptr);
}

void DisplayCopy::record(const TRect& area) {
  if (overflow_) return;
  if (!changes_.empty() && joinable(changes_.back(), area)) {
    TRect& last = changes_.back();
    last = {std::min(last.Left, area.Left), std::min(last.Top, area.Top),
            std::max(last.Right, area.Right), std::max(last.Bottom, area.Bottom)};
    return;
  }
  if (changes_.size() == kMaxChanges) {
    overflow_ = true;
    changes_.clear();
    return;
  }
  changes_.push_back(area);
}

void DisplayCopy::copyWhole(TBitmap32& work, TBitmap32& display, bool stretch) {
  if (watched_ != &work) {
    if (watched_ != nullptr) watched_->SetOnChange(nullptr);
    watched_ = &work;
    work.SetOnChange([this](const TRect& area) { record(area); });
    // Room for the most changes there can be, so that memory does not grow
    // from buffer to buffer as more changes come along.
    changes_.reserve(kMaxChanges);
  }
  drawWholeWork(work, display, stretch);
  // Stretched, a changed area costs a resampling: the work pixels of the last
  // copy are kept to draw only what really differs (a readout drawn again in
  // the same text). At the point a copy costs no more than comparing would.
  if (stretch)
    source_.assign(work.Bits(),
                   work.Bits() + static_cast<std::size_t>(work.Width()) * work.Height());
  else
    std::vector<TColor32>().swap(source_);
  changes_.clear();
  overflow_ = false;
  sourceWidth_ = work.Width();
  sourceHeight_ = work.Height();
  displayWidth_ = display.Width();
  displayHeight_ = display.Height();
  stretched_ = stretch;
  displayChanges_ = display.ChangeCount();
}

void DisplayCopy::copy(TBitmap32& work, TBitmap32& display, bool stretch) {
  // Anything else written to the display since (a skin, a new size) means
  // its pixels are no longer the copy of the work bitmap.
  const bool whole = watched_ != &work || overflow_ || work.Empty() || display.Empty() ||
                     stretch != stretched_ || work.Width() != sourceWidth_ ||
                     work.Height() != sourceHeight_ || display.Width() != displayWidth_ ||
                     display.Height() != displayHeight_ || display.ChangeCount() != displayChanges_;
  if (whole) {
    copyWhole(work, display, stretch);
    return;
  }
  // Nothing changed: no Draw, no notification, no repaint.
  if (changes_.empty()) return;
  display.BeginUpdate();
  for (TRect area : changes_) {
    if (!stretch)
      display.Draw(area, area, work);
    else if (differences(work, area))
      display.Draw(display.BoundsRect(), work.BoundsRect(), work, displayArea(area, work, display));
  }
  display.EndUpdate();
  changes_.clear();
  displayChanges_ = display.ChangeCount();
}

// Narrows area to the work pixels that differ from source_, which takes them
// over; false when none differ.
bool DisplayCopy::differences(const TBitmap32& work, TRect& area) {
  const int width = work.Width();
  const TRect inside = intersect(area, work.BoundsRect());
  int left = inside.Right, top = inside.Bottom, right = inside.Left, bottom = inside.Top;
  const auto n = static_cast<std::size_t>(std::max(inside.width(), 0LL));
  for (int y = inside.Top; y < inside.Bottom && n > 0; ++y) {
    const TColor32* now = work.ScanLine(y) + inside.Left;
    TColor32* was = source_.data() + static_cast<std::size_t>(y) * width + inside.Left;
    if (std::memcmp(now, was, n * sizeof(TColor32)) == 0) continue;
    std::size_t first = 0, last = n - 1;
    while (now[first] == was[first]) ++first;
    while (now[last] == was[last]) --last;
    std::copy(now + first, now + last + 1, was + first);
    left = std::min(left, inside.Left + static_cast<int>(first));
    right = std::max(right, inside.Left + static_cast<int>(last) + 1);
    top = std::min(top, y);
    bottom = y + 1;
  }
  if (right <= left) return false;
  area = {left, top, right, bottom};
  return true;
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
  // Parts that start on a multiple of 8 columns are resampled with the tables
  // of the whole display, kept from buffer to buffer.
  area.Left -= area.Left % kColumnBlock;
  span(workArea.Top, workArea.Bottom, work.Height(), display.Height(), area.Top, area.Bottom);
  return area;
}

}  // namespace tarnvale
