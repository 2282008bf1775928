#pragma once

#include <QRegion>
#include <QWidget>
#include <functional>
#include <memory>
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
//
// On an X display the control is a window of its own whose pixels go
// straight to the X server, one image request per repainted rectangle: Qt's
// back buffer would cost a copy and its bookkeeping on every buffer, for a
// picture that is already held here whole.
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

  // True while pixels go straight to the X server.
  bool PaintsOnScreen() const { return x11_ != nullptr; }
  // True while the X server reads them from memory shared with it.
  bool SharesPixelsWithServer() const;

  QPaintEngine* paintEngine() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct X11;

  void bitmapChanged(const TRect& area);
  void updateEnded();
  // Shows what changed: straight to the X window when there is one, else by a repaint.
  void showNow(const QRegion& dirty);
  void remember(const QRect& shown);
  // Sends the region to the X server; false if it cannot (the caller paints).
  bool put(const QRegion& region);

  TBitmap32 bitmap_;
  // The colours last notified, to repaint only what differs: most of the
  // display (skin, unlit blocks) is drawn again unchanged for every buffer.
  // Kept in memory shared with the X server when it can attach it (the
  // server then takes the pixels from there), else in shown_.
  std::vector<TColor32> shown_;
  TColor32* shownPixels_ = nullptr;
  int shownWidth_ = 0;
  int shownHeight_ = 0;
  QRegion pending_;  // differences found during an update, not yet repainted
  bool watchedPending_ = false;
  TColor32 watched_ = 0;
  std::function<void()> onWatchedChange_;
  std::unique_ptr<X11> x11_;
};

}  // namespace tarnvale
