#include "raster/text_renderer.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <stdexcept>

#include "raster/color.h"

namespace tarnvale {
namespace {

void requireGuiApplication() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
    throw std::logic_error("text on a bitmap needs a QGuiApplication");
}

QFont qtFont(const TFont& font) {
  requireGuiApplication();
  QFont f(QString::fromStdString(font.Name));
  // Pixels, not points: the result must not depend on the screen's resolution.
  f.setPixelSize(emPixels(font.Size));
  f.setBold(font.Style.contains(TFontStyle::fsBold));
  f.setItalic(font.Style.contains(TFontStyle::fsItalic));
  f.setUnderline(font.Style.contains(TFontStyle::fsUnderline));
  f.setStrikeOut(font.Style.contains(TFontStyle::fsStrikeOut));
  return f;
}

}  // namespace

int textAdvance(const TFont& font, const std::string& text) {
  return QFontMetrics(qtFont(font)).horizontalAdvance(QString::fromStdString(text));
}

int textCellHeight(const TFont& font) {
  const QFontMetrics metrics(qtFont(font));
  return metrics.ascent() + metrics.descent();
}

void renderText(const TargetPixels& target, const TFont& font, int x, int y,
                const std::string& text) {
  const QFont f = qtFont(font);
  if (target.Width <= 0 || target.Height <= 0 || text.empty()) return;
  if (x >= target.Width || y >= target.Height) return;  // starts past the edges: nothing shows
  // RGB32 treats the pixels as opaque: painting leaves the colour of alpha-0
  // pixels intact, where a premultiplied format would wipe it.
  QImage surface(reinterpret_cast<uchar*>(target.Bits), target.Width, target.Height,
                 static_cast<qsizetype>(target.Width) * 4, QImage::Format_RGB32);
  QPainter painter(&surface);
  painter.setFont(f);
  painter.setPen(QColor::fromRgb(colorToArgb(font.Color)));
  painter.setBackgroundMode(Qt::TransparentMode);
  painter.drawText(QPoint(x, y + QFontMetrics(f).ascent()), QString::fromStdString(text));
}

}  // namespace tarnvale
