#pragma once

#include "display/colour_table.h"
#include "display/display_state.h"
#include "raster/bitmap32.h"
#include "settings/meter_settings.h"

namespace tarnvale {

// What the drawing of bars and readouts reads, and the bitmap it draws on.
struct DisplayContext {
  TBitmap32& workBitmap;
  const MeterSettings& settings;
  const ColourTable& colourTable;
  const DisplayState& displayState;
};

}  // namespace tarnvale
