#pragma once

#include <QWidget>

#include "raster/bitmap32.h"

namespace tarnvale {

// The display control: shows its own bitmap one pixel for one pixel from its
// top-left corner, black where the bitmap does not reach. Every change of the
// bitmap is repainted (the changed rectangle grown by 2 pixels) before the
// changing operation returns. The bitmap resamples with a TDraftResampler.
class TImage32 : public QWidget {
  Q_OBJECT

 public:
  explicit TImage32(QWidget* parent = nullptr);
  ~TImage32() override;

  TBitmap32& Bitmap() { return bitmap_; }
  const TBitmap32& Bitmap() const { return bitmap_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void bitmapChanged(const TRect& area);

  TBitmap32 bitmap_;
};

}  // namespace tarnvale
