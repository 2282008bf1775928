#include "raster/system_colors.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPalette>

namespace tarnvale {
namespace {

TColor asColor(const QColor& c) {
  return c.red() | (c.green() << 8) | (c.blue() << 16);
}

TEST(PaletteSystemColors, ClassicIndicesTakeTheirPaletteRoles) {
  const QPalette palette = QGuiApplication::palette();
  const struct {
    int index;
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
  } cases[] = {
      {5, QPalette::Active, QPalette::Base},
      {8, QPalette::Active, QPalette::Text},
      {13, QPalette::Active, QPalette::Highlight},
      {14, QPalette::Active, QPalette::HighlightedText},
      {15, QPalette::Active, QPalette::Button},
      {17, QPalette::Disabled, QPalette::Text},
      {18, QPalette::Active, QPalette::ButtonText},
      {24, QPalette::Active, QPalette::ToolTipBase},
  };
  for (const auto& c : cases)
    EXPECT_EQ(paletteSystemColor(c.index), asColor(palette.color(c.group, c.role))) << c.index;
  EXPECT_EQ(paletteSystemColor(31), 0);
  EXPECT_EQ(paletteSystemColor(255), 0);
}

TEST(PaletteSystemColors, InstalledTheyResolveColours) {
  const SystemColorResolver previous = setSystemColorResolver(nullptr);
  installPaletteSystemColors();
  const QColor face = QGuiApplication::palette().color(QPalette::Active, QPalette::Button);
  EXPECT_EQ(colorToArgb(static_cast<TColor>(0xFF00000F)),
            0xFF000000u | (static_cast<TColor32>(face.red()) << 16) |
                (static_cast<TColor32>(face.green()) << 8) | static_cast<TColor32>(face.blue()));
  setSystemColorResolver(previous);
}

}  // namespace
}  // namespace tarnvale
