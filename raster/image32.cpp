#include "raster/image32.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <memory>

#include "raster/draft_resampler.h"

namespace tarnvale {

TImage32::TImage32(QWidget* parent) : QWidget(parent) {
  // paintEvent covers every pixel itself; Qt need not clear first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  bitmap_.SetResampler(std::make_shared<TDraftResampler>());
  bitmap_.SetCombineMode(TCombineMode::cmMerge);
  bitmap_.SetOnChange([this](const TRect& area) { bitmapChanged(area); });
}

TImage32::~TImage32() {
  bitmap_.SetOnChange(nullptr);
}

void TImage32::bitmapChanged(const TRect& area) {
  // Grown by 2 on every side: what changed plus a margin, as painted at once.
  const QRect grown(area.Left - 2, area.Top - 2, static_cast<int>(area.width()) + 4,
                    static_cast<int>(area.height()) + 4);
  const QRect dirty = grown & rect();
  if (!dirty.isEmpty()) repaint(dirty);
}

void TImage32::paintEvent(QPaintEvent* event) {
  // Widgets paint into Qt's back buffer, which reaches the screen in one piece.
  QPainter painter(this);
  const QRect covered(0, 0, bitmap_.Width(), bitmap_.Height());
  const QRegion background = QRegion(event->rect()) - (bitmap_.Empty() ? QRegion() : covered);
  for (const QRect& r : background) painter.fillRect(r, Qt::black);
  if (bitmap_.Empty()) return;
  const QRect shown = event->rect() & covered;
  if (shown.isEmpty()) return;
  // RGB32 over the pixel memory, no copy: alpha is not shown.
  const QImage pixels(reinterpret_cast<const uchar*>(bitmap_.Bits()), bitmap_.Width(),
                      bitmap_.Height(), static_cast<qsizetype>(bitmap_.Width()) * 4,
                      QImage::Format_RGB32);
  painter.drawImage(shown, pixels, shown);
}

}  // namespace tarnvale
