#pragma once

#include <string>

#include "raster/font.h"
#include "raster/resampler.h"

namespace tarnvale {

// Text on a bitmap's own pixel memory through QtGui. Fonts are found through
// fontconfig ("Arial" resolves to a metric-compatible face) at the em height
// of emPixels, whatever the screen. These need a QGuiApplication and raise
// std::logic_error without one. Text is UTF-8.

// Advance width of the whole text in pixels.
int textAdvance(const TFont& font, const std::string& text);

// Height of the font's line cell, ascent plus descent.
int textCellHeight(const TFont& font);

// Renders text in one line in the font's colour with its character cell's
// top-left at (x, y), the baseline one ascent lower. The background stays as
// it is; nothing outside the target is written.
void renderText(const TargetPixels& target, const TFont& font, int x, int y,
                const std::string& text);

}  // namespace tarnvale
