#include "raster/image32.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "raster/draft_resampler.h"

namespace tarnvale {

namespace {
// Only colour is shown; the alpha byte is not.
constexpr TColor32 kColourBits = 0x00FFFFFF;
}  // namespace

TImage32::TImage32(QWidget* parent) : QWidget(parent) {
  // paintEvent covers every pixel itself; Qt need not clear first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  bitmap_.SetResampler(std::make_shared<TDraftResampler>());
  bitmap_.SetCombineMode(TCombineMode::cmMerge);
  bitmap_.SetOnChange([this](const TRect& area) { bitmapChanged(area); });
  bitmap_.SetOnEndUpdate([this] { updateEnded(); });
}

TImage32::~TImage32() {
  bitmap_.SetOnChange(nullptr);
  bitmap_.SetOnEndUpdate(nullptr);
}

void TImage32::WatchColour(TColor32 colour, std::function<void()> onChange) {
  watched_ = colour & kColourBits;
  onWatchedChange_ = std::move(onChange);
}

void TImage32::bitmapChanged(const TRect& area) {
  const int width = bitmap_.Width();
  const int height = bitmap_.Height();
  QRect changed;
  bool watchedMoved = false;
  if (width != shownWidth_ || height != shownHeight_) {
    // New pixel memory: everything notified is new.
    // The copy first: should memory run out, the sizes still describe it.
    shown_.assign(bitmap_.Bits(), bitmap_.Bits() + static_cast<std::size_t>(width) * height);
    shownWidth_ = width;
    shownHeight_ = height;
    changed = QRect(area.Left, area.Top, static_cast<int>(area.width()),
                    static_cast<int>(area.height()));
    watchedMoved = true;
  } else {
    const int left = std::max(area.Left, 0);
    const int right = std::min(area.Right, width);
    const int top = std::max(area.Top, 0);
    const int bottom = std::min(area.Bottom, height);
    int minX = right, maxX = left - 1, minY = bottom, maxY = top - 1;
    for (int y = top; y < bottom && left < right; ++y) {
      const TColor32* now = bitmap_.ScanLine(y);
      TColor32* was = shown_.data() + static_cast<std::size_t>(y) * width;
      // Most rows come back identical; the whole-row compare is the fast path.
      if (std::memcmp(now + left, was + left, sizeof(TColor32) * (right - left)) == 0) continue;
      int first = left;
      while (first < right && ((now[first] ^ was[first]) & kColourBits) == 0) ++first;
      if (first == right) continue;  // only alpha differs
      int last = right - 1;
      while (((now[last] ^ was[last]) & kColourBits) == 0) --last;
      if (onWatchedChange_ && !watchedMoved) {
        for (int x = first; x <= last; ++x) {
          if (((now[x] ^ was[x]) & kColourBits) != 0 &&
              ((now[x] & kColourBits) == watched_ || (was[x] & kColourBits) == watched_)) {
            watchedMoved = true;
            break;
          }
        }
      }
      std::copy(now + first, now + last + 1, was + first);
      minX = std::min(minX, first);
      maxX = std::max(maxX, last);
      minY = std::min(minY, y);
      maxY = y;
    }
    if (maxX >= minX) changed = QRect(minX, minY, maxX - minX + 1, maxY - minY + 1);
  }
  // Grown by 2 on every side: what changed plus a margin.
  const QRect dirty = changed.isEmpty() ? QRect() : changed.adjusted(-2, -2, 2, 2) & rect();
  if (bitmap_.Updating()) {
    pending_ += dirty;
    watchedPending_ = watchedPending_ || watchedMoved;
    return;
  }
  if (!dirty.isEmpty()) repaint(dirty);
  if (watchedMoved && onWatchedChange_) onWatchedChange_();
}

void TImage32::updateEnded() {
  const QRegion dirty = std::exchange(pending_, QRegion());
  const bool watchedMoved = std::exchange(watchedPending_, false);
  if (!dirty.isEmpty()) repaint(dirty);
  if (watchedMoved && onWatchedChange_) onWatchedChange_();
}

void TImage32::paintEvent(QPaintEvent* event) {
  // Widgets paint into Qt's back buffer, which reaches the screen in one piece.
  QPainter painter(this);
  const QRect covered(0, 0, bitmap_.Width(), bitmap_.Height());
  const QRegion background = event->region() - (bitmap_.Empty() ? QRegion() : covered);
  for (const QRect& r : background) painter.fillRect(r, Qt::black);
  if (bitmap_.Empty()) return;
  // RGB32 over the pixel memory, no copy: alpha is not shown.
  const QImage pixels(reinterpret_cast<const uchar*>(bitmap_.Bits()), bitmap_.Width(),
                      bitmap_.Height(), static_cast<qsizetype>(bitmap_.Width()) * 4,
                      QImage::Format_RGB32);
  const bool shadowed = bitmap_.Width() == shownWidth_ && bitmap_.Height() == shownHeight_;
  for (const QRect& area : event->region()) {
    const QRect shown = area & covered;
    if (shown.isEmpty()) continue;
    painter.drawImage(shown, pixels, shown);
    // What is painted is what the screen shows from now on, notified or not.
    if (!shadowed) continue;
    for (int y = shown.top(); y <= shown.bottom(); ++y) {
      const TColor32* row = bitmap_.ScanLine(y);
      std::copy(row + shown.left(), row + shown.right() + 1,
                shown_.data() + static_cast<std::size_t>(y) * shownWidth_ + shown.left());
    }
  }
}

}  // namespace tarnvale
