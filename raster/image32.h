#pragma once

#include <QRegion>
#include <QWidget>
#include <functional>
#include <vector>

#include "raster/bitmap32.h"

namespace tarnvale {

// The display control: shows its own bitmap one pixel for one pixel from its
// top-left corner, black where the bitmap does not reach. Every change of the
// bitmap is on screen before the changing operation returns: of the notified
// rectangle, the part whose colours differ from what is shown is repainted,
// grown by 2 pixels. Changes between the bitmap's BeginUpdate and EndUpdate
// are repainted together at the EndUpdate. The bitmap resamples with a
// TDraftResampler.
class TImage32 : public QWidget {
  Q_OBJECT

 public:
  explicit TImage32(QWidget* parent = nullptr);
  ~TImage32() override;

  TBitmap32& Bitmap() { return bitmap_; }
  const TBitmap32& Bitmap() const { return bitmap_; }

  // onChange runs after a change that made pixels of this colour (alpha
  // ignored) appear or go away, and after every size change: for a window
  // shape that follows them without scanning the bitmap on every buffer.
  void WatchColour(TColor32 colour, std::function<void()> onChange);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void bitmapChanged(const TRect& area);
  void updateEnded();

  TBitmap32 bitmap_;
  // The colours last notified, to repaint only what differs: most of the
  // display (skin, unlit blocks) is drawn again unchanged for every buffer.
  std::vector<TColor32> shown_;
  int shownWidth_ = 0;
  int shownHeight_ = 0;
  QRegion pending_;  // differences found during an update, not yet repainted
  bool watchedPending_ = false;
  TColor32 watched_ = 0;
  std::function<void()> onWatchedChange_;
};

}  // namespace tarnvale
