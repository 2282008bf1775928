#include <gtest/gtest.h>

#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <string>
#include <vector>

#include "raster/bitmap32.h"
#include "raster/color.h"

namespace tarnvale {
namespace {

constexpr TColor32 kBackground = 0x00204060;  // alpha 0: its colour must survive

struct Canvas {
  TBitmap32 bitmap;
  std::vector<TRect> changes;
  explicit Canvas(const TFont& font, int w = 120, int h = 40) {
    bitmap.SetSize(w, h);
    bitmap.FillRect(0, 0, w, h, kBackground);
    bitmap.Font().Assign(font);
    bitmap.SetOnChange([this](const TRect& r) { changes.push_back(r); });
  }
  // The smallest rectangle around every pixel that is no longer background.
  TRect ink() const {
    TRect r{bitmap.Width(), bitmap.Height(), 0, 0};
    for (int y = 0; y < bitmap.Height(); ++y)
      for (int x = 0; x < bitmap.Width(); ++x)
        if (bitmap.ScanLine(y)[x] != kBackground)
          r = {std::min(r.Left, x), std::min(r.Top, y), std::max(r.Right, x + 1),
               std::max(r.Bottom, y + 1)};
    return r;
  }
  int inkCount() const {
    int n = 0;
    for (int i = 0; i < bitmap.Width() * bitmap.Height(); ++i) n += bitmap.Bits()[i] != kBackground;
    return n;
  }
  bool has(TColor32 rgb) const {
    for (int i = 0; i < bitmap.Width() * bitmap.Height(); ++i)
      if ((bitmap.Bits()[i] & 0x00FFFFFF) == rgb) return true;
    return false;
  }
};

std::vector<TColor32> pixels(const Canvas& c) {
  return {c.bitmap.Bits(), c.bitmap.Bits() + c.bitmap.Width() * c.bitmap.Height()};
}

TFont arial(int size, TFontStyles style = {}, TColor colour = 0xFFFFFF) {
  TFont f;
  f.Name = "Arial";
  f.Size = size;
  f.Style = style;
  f.Color = colour;
  return f;
}

TEST(Text, ArialIsMetricCompatibleAtTheEmHeightOfItsPointSize) {
  // Arial's digits advance 1139/2048 em; its line cell is 2288/2048 em.
  const struct { int points, em; } cases[] = {{12, 16}, {10, 13}, {24, 32}};
  for (const auto& c : cases) {
    TBitmap32 b;
    b.Font().Assign(arial(c.points, {TFontStyle::fsBold}));
    const double digits = 8 * 1139.0 / 2048 * c.em;
    EXPECT_NEAR(b.TextWidth("00000000"), digits, 8.0) << c.points;
    const double cell = 2288.0 / 2048 * c.em;
    EXPECT_NEAR(b.TextHeight("x"), cell, 2.0) << c.points;
    EXPECT_EQ(b.TextHeight(""), b.TextHeight("Mg"));  // the cell, not the characters
    EXPECT_EQ(b.TextWidth(""), 0);
  }
}

TEST(Text, TextoutDrawsInsideItsCellOverAKeptBackground) {
  const struct {
    int x, y;
    const char* text;
  } cases[] = {{4, 3, "Hg"}, {30, 10, "-99.0"}, {0, 0, "|"}, {10, 5, "-12\u00ba"}};
  for (const auto& c : cases) {
    Canvas canvas(arial(12, {TFontStyle::fsBold}));
    const int w = canvas.bitmap.TextWidth(c.text), h = canvas.bitmap.TextHeight(c.text);
    canvas.bitmap.Textout(c.x, c.y, c.text);
    const TRect ink = canvas.ink();
    ASSERT_FALSE(ink.isEmpty()) << c.text;
    EXPECT_GE(ink.Left, c.x) << c.text;
    EXPECT_GE(ink.Top, c.y) << c.text;
    EXPECT_LE(ink.Right, c.x + w + 1) << c.text;
    EXPECT_LE(ink.Bottom, c.y + h) << c.text;
    EXPECT_TRUE(canvas.has(0xFFFFFF)) << c.text;  // solid strokes in the font's colour
    // Untouched pixels keep colour and alpha.
    EXPECT_EQ(canvas.bitmap.ScanLine(39)[119], kBackground);
    EXPECT_EQ(canvas.changes, (std::vector<TRect>{{c.x, c.y, c.x + w + 1, c.y + h + 1}}));
  }
}

TEST(Text, TopOfTheCellIsOneAscentAboveTheBaseline) {
  // "_" sits on or just under the baseline; "'" starts near the cell's top.
  Canvas under(arial(24)), quote(arial(24));
  under.bitmap.Textout(5, 0, "_");
  quote.bitmap.Textout(5, 0, "'");
  const int h = under.bitmap.TextHeight("_");
  EXPECT_GT(under.ink().Top, h / 2);
  EXPECT_LT(quote.ink().Top, h / 3);
}

TEST(Text, StylesChangeTheInk) {
  const TFont plain = arial(12);
  Canvas reference(plain);
  reference.bitmap.Textout(2, 2, "Tarnvale");
  const struct {
    TFontStyle style;
  } cases[] = {{TFontStyle::fsBold},
               {TFontStyle::fsItalic},
               {TFontStyle::fsUnderline},
               {TFontStyle::fsStrikeOut}};
  for (const auto& c : cases) {
    Canvas styled(arial(12, {c.style}));
    styled.bitmap.Textout(2, 2, "Tarnvale");
    EXPECT_NE(pixels(styled), pixels(reference)) << static_cast<int>(c.style);
    if (c.style != TFontStyle::fsItalic) {
      EXPECT_GT(styled.inkCount(), reference.inkCount()) << static_cast<int>(c.style);
    }
  }
}

TEST(Text, ClippedAtTheBitmapEdges) {
  const struct { int x, y; } cases[] = {{-5, -8}, {15, 4}, {-1000, 2}, {25, 0}, {0, 12}, {-3, 9}};
  for (const auto& c : cases) {
    Canvas canvas(arial(12), 20, 10);
    const int w = canvas.bitmap.TextWidth("Wide text");
    const int h = canvas.bitmap.TextHeight("Wide text");
    canvas.bitmap.Textout(c.x, c.y, "Wide text");
    const TRect expected = intersect({c.x, c.y, c.x + w + 1, c.y + h + 1}, {0, 0, 20, 10});
    const std::vector<TRect> want =
        expected.isEmpty() ? std::vector<TRect>{} : std::vector<TRect>{expected};
    EXPECT_EQ(canvas.changes, want) << c.x << "," << c.y;
  }
}

TEST(Text, SystemColourIsResolvedWhenDrawing) {
  const SystemColorResolver previous =
      setSystemColorResolver([](int index) { return index == 8 ? 0x0000FF : 0x00FF00; });
  Canvas canvas(arial(16, {TFontStyle::fsBold}, static_cast<TColor>(0xFF000008)));
  canvas.bitmap.Textout(2, 2, "Il");
  EXPECT_TRUE(canvas.has(0xFF0000));  // red, from the resolver
  setSystemColorResolver([](int) { return 0x00FF00; });
  canvas.bitmap.Textout(40, 2, "Il");
  EXPECT_TRUE(canvas.has(0x00FF00));
  setSystemColorResolver(previous);
}

// The font and the laid-out texts are kept between calls: whatever order the
// fonts, texts and colours come in, each text is drawn and measured as the
// plain Qt calls do it.
TEST(Text, KeptFontsAndTextsDrawAndMeasureAsQtDoes) {
  const struct {
    TFont font;
    std::string text;
  } cases[] = {
      {arial(10), "  -3.5"},
      {arial(10, {}, 0x00FF00), "  -3.5"},  // the same text, another colour
      {arial(10), " -12.3"},
      {arial(12, {TFontStyle::fsBold}), "  -3.5"},  // the same text in another font
      {arial(12, {TFontStyle::fsBold}), "-99.0"},
      {arial(10), "  -3.5"},  // back to the first font
      {arial(8, {TFontStyle::fsItalic}, 0x0000FF), "36\u00ba"},
      {arial(12, {TFontStyle::fsBold}), "-99.0"},
  };
  for (int round = 0; round < 2; ++round)
    for (const auto& c : cases) {
      Canvas canvas(c.font);
      canvas.bitmap.Textout(3, 5, c.text);
      QFont f(QString::fromStdString(c.font.Name));
      f.setPixelSize(emPixels(c.font.Size));
      f.setBold(c.font.Style.contains(TFontStyle::fsBold));
      f.setItalic(c.font.Style.contains(TFontStyle::fsItalic));
      QImage want(canvas.bitmap.Width(), canvas.bitmap.Height(), QImage::Format_RGB32);
      want.fill(kBackground);
      {
        QPainter painter(&want);
        painter.setFont(f);
        painter.setPen(QColor::fromRgb(colorToArgb(c.font.Color)));
        painter.drawText(QPoint(3, 5 + QFontMetrics(f).ascent()), QString::fromStdString(c.text));
      }
      const QImage got(reinterpret_cast<const uchar*>(canvas.bitmap.Bits()), canvas.bitmap.Width(),
                       canvas.bitmap.Height(), canvas.bitmap.Width() * 4, QImage::Format_RGB32);
      EXPECT_EQ(got, want) << c.text << " at " << c.font.Size << ", round " << round;
      EXPECT_EQ(canvas.bitmap.TextWidth(c.text),
                QFontMetrics(f).horizontalAdvance(QString::fromStdString(c.text)))
          << c.text;
    }
}

TEST(Text, ArialResolvesThroughFontconfig) {
  QFont f("Arial");
  f.setPixelSize(16);
  EXPECT_EQ(QFontInfo(f).family().toStdString(), "Liberation Sans");
}

}  // namespace
}  // namespace tarnvale
