#pragma once

#include <cstdint>
#include <string>

#include "display/display_context.h"
#include "raster/color.h"
#include "raster/font.h"

namespace tarnvale {

// Boxes behind the readout and phase texts.
inline constexpr TColor32 kReadoutBoxColour = 0x00000000;
// Arial bold in white (TColor 0x00BBGGRR).
inline constexpr int kReadoutFontSize = 12;
inline constexpr int kPhaseFontSize = 10;
inline constexpr TColor kReadoutTextColour = 0xFFFFFF;

// The fixed readout font at `size` points.
TFont readoutFont(int size);

// The numeric readouts, each on a cleared black box: both texts in stereo, the
// one of the shown channel otherwise (textLeft for mono left and L+R,
// textRight for mono right). Placed at the bottom of a vertical skin and at
// the left edge of a horizontal one.
void drawReadoutTexts(const DisplayContext& context, const std::string& textLeft,
                      const std::string& textRight);

}  // namespace tarnvale
