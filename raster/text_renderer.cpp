#include "raster/text_renderer.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStaticText>
#include <QTransform>
#include <optional>
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
// and its recent texts keep their advance and their laid-out glyphs (drawn
// pixel for pixel as the plain text call draws them). UI thread only.
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
      texts_.clear();
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
    Known& known = lookUp(f, text);
    if (known.advance < 0)
      known.advance = QFontMetrics(font_).horizontalAdvance(QString::fromStdString(text));
    return known.advance;
  }
  const QStaticText& shaped(const TFont& f, const std::string& text) {
    Known& known = lookUp(f, text);
    if (!known.shaped) {
      known.shaped.emplace(QString::fromStdString(text));
      known.shaped->setTextFormat(Qt::PlainText);
      known.shaped->prepare(QTransform(), font_);
    }
    return *known.shaped;
  }

 private:
  struct Known {
    std::string text;
    int advance = -1;
    std::optional<QStaticText> shaped;
  };
  Known& lookUp(const TFont& f, const std::string& text) {
    font(f);
    for (Known& known : texts_)
      if (known.text == text) return known;
    // A short memory: the readouts show a handful of texts at a time.
    if (texts_.size() == kTexts) texts_.erase(texts_.begin());
    texts_.push_back(Known{text, -1, std::nullopt});
    return texts_.back();
  }

  static constexpr std::size_t kTexts = 16;
  bool valid_ = false;
  std::string name_;
  int size_ = 0;
  TFontStyles style_;
  QFont font_;
  int ascent_ = 0;
  int descent_ = 0;
  std::vector<Known> texts_;
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
  // pixels intact, where a premultiplied format would wipe it. The image over
  // the same pixel memory is kept, and with it the paint engine Qt makes for
  // it, which would otherwise be built anew for every text.
  static QImage surface;
  if (surface.constBits() != reinterpret_cast<const uchar*>(target.Bits) ||
      surface.width() != target.Width || surface.height() != target.Height)
    surface = QImage(reinterpret_cast<uchar*>(target.Bits), target.Width, target.Height,
                     static_cast<qsizetype>(target.Width) * 4, QImage::Format_RGB32);
  QPainter painter(&surface);
  painter.setFont(f);
  painter.setPen(QColor::fromRgb(colorToArgb(font.Color)));
  painter.setBackgroundMode(Qt::TransparentMode);
  painter.drawStaticText(QPoint(x, y), fontCache().shaped(font, text));
}

}  // namespace tarnvale
