#pragma once

#include "raster/color.h"

namespace tarnvale {

// The current value (0x00BBGGRR) of a system colour index of the classic
// table (0 scroll bar, 1 desktop, 2 active caption, ... 5 window, 8 window
// text, 15 button face, ...), taken from the application palette. Indices
// outside the table, or no QGuiApplication, give black.
TColor paletteSystemColor(int index);

// Makes colorToArgb and text colours resolve system colours through the
// application palette. Called once at start-up, after the QGuiApplication.
void installPaletteSystemColors();

}  // namespace tarnvale
