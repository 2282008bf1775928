#include "setup/setup_widgets.h"

#include <QLabel>
#include <QMouseEvent>

#include "raster/color.h"

namespace tarnvale {

QColor qcolor(std::int32_t bgr) {
  const std::int32_t c = resolveSystemColor(bgr);
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

void setIfChanged(QLabel* label, const std::string& text) {
  const QString value = qs(text);
  if (label->text() != value) label->setText(value);
}

ColourPanel::ColourPanel(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(2);
  setAutoFillBackground(true);
  setCursor(Qt::PointingHandCursor);
  setColour(0);
}

void ColourPanel::setColour(std::int32_t colour) {
  colour_ = colour;
  QPalette p = palette();
  p.setColor(QPalette::Window, qcolor(colour));
  setPalette(p);
}

void ColourPanel::mouseReleaseEvent(QMouseEvent* event) {
  QFrame::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick)
    onClick();
}

UpDown::UpDown(QWidget* parent) : QSpinBox(parent) {
  setAlignment(Qt::AlignRight);
}

void UpDown::stepBy(int steps) {
  const int before = value();
  QSpinBox::stepBy(steps);
  if (value() != before && onArrow) onArrow();
}

}  // namespace tarnvale
