#include "raster/text_renderer.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "raster/color.h"

namespace tarnvale {
namespace {

void requireGuiApplication() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
    throw std::logic_error("text on a bitmap needs a QGuiApplication");
}

QFont qtFont(const TFont& font) {
  QFont f(QString::fromStdString(font.Name));
  // Pixels, not points: the result must not depend on the screen's resolution.
  f.setPixelSize(emPixels(font.Size));
  f.setBold(font.Style.contains(TFontStyle::fsBold));
  f.setItalic(font.Style.contains(TFontStyle::fsItalic));
  f.setUnderline(font.Style.contains(TFontStyle::fsUnderline));
  f.setStrikeOut(font.Style.contains(TFontStyle::fsStrikeOut));
  return f;
}

// The readouts draw and measure a few short texts in one font for every
// buffer. Finding the font and shaping the text again each time cost more
// than all the rest of the buffer's drawing, so the last font stays resolved
// and the advances of its recent texts are kept. UI thread only.
class FontCache {
 public:
  const QFont& font(const TFont& font) {
    requireGuiApplication();
    if (!valid_ || name_ != font.Name || size_ != font.Size || style_ != font.Style) {
      name_ = font.Name;
      size_ = font.Size;
      style_ = font.Style;
      font_ = qtFont(font);
      const QFontMetrics metrics(font_);
      ascent_ = metrics.ascent();
      descent_ = metrics.descent();
      advances_.clear();
      valid_ = true;
    }
    return font_;
  }
  int ascent(const TFont& f) {
    font(f);
    return ascent_;
  }
  int descent(const TFont& f) {
    font(f);
    return descent_;
  }
  int advance(const TFont& f, const std::string& text) {
    const QFont& qf = font(f);
    for (const auto& [known, width] : advances_)
      if (known == text) return width;
    const int width = QFontMetrics(qf).horizontalAdvance(QString::fromStdString(text));
    // A short memory: the readouts show a handful of texts at a time.
    if (advances_.size() == kAdvances) advances_.erase(advances_.begin());
    advances_.emplace_back(text, width);
    return width;
  }

 private:
  static constexpr std::size_t kAdvances = 16;
  bool valid_ = false;
  std::string name_;
  int size_ = 0;
  TFontStyles style_;
  QFont font_;
  int ascent_ = 0;
  int descent_ = 0;
  std::vector<std::pair<std::string, int>> advances_;
};

FontCache& fontCache() {
  static FontCache cache;
  return cache;
}

}  // namespace

int textAdvance(const TFont& font, const std::string& text) {
  return fontCache().advance(font, text);
}

int textCellHeight(const TFont& font) {
  return fontCache().ascent(font) + fontCache().descent(font);
}

void renderText(const TargetPixels& target, const TFont& font, int x, int y,
                const std::string& text) {
  const QFont& f = fontCache().font(font);
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
  painter.drawText(QPoint(x, y + fontCache().ascent(font)), QString::fromStdString(text));
}

}  // namespace tarnvale
