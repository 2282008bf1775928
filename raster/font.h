#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "raster/color.h"

namespace tarnvale {

enum class TFontStyle : std::uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };

// A set of TFontStyle. As bits: 1 bold, 2 italic, 4 underline, 8 strike-out,
// the settings file's encoding.
class TFontStyles {
 public:
  TFontStyles() = default;
  TFontStyles(std::initializer_list<TFontStyle> styles) {
    for (TFontStyle s : styles) include(s);
  }
  static TFontStyles fromBits(int bits) {
    TFontStyles styles;
    styles.bits_ = static_cast<std::uint8_t>(bits & 0x0F);
    return styles;
  }
  int bits() const { return bits_; }
  bool contains(TFontStyle s) const { return (bits_ & bit(s)) != 0; }
  void include(TFontStyle s) { bits_ = static_cast<std::uint8_t>(bits_ | bit(s)); }
  void exclude(TFontStyle s) { bits_ = static_cast<std::uint8_t>(bits_ & ~bit(s)); }
  friend bool operator==(TFontStyles, TFontStyles) = default;

 private:
  static int bit(TFontStyle s) { return 1 << static_cast<int>(s); }
  std::uint8_t bits_ = 0;
};

// The font of a bitmap's text operations. Attributes are read at each text
// operation, so a change takes effect at the next one.
struct TFont {
  std::string Name = "Arial";
  int Size = 10;  // points
  TFontStyles Style;
  TColor Color = 0;  // may name a system colour, resolved when drawing

  void Assign(const TFont& other) { *this = other; }
  friend bool operator==(const TFont&, const TFont&) = default;
};

// Em height in pixels of a size in points on a 96 pixels-per-inch display,
// rounded to the nearest pixel: 16 for 12 points, 13 for 10. At least 1.
int emPixels(int points);

}  // namespace tarnvale
