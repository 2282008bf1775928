#pragma once

#include <cstdint>
#include <string_view>

#include "display/bars.h"
#include "display/display_context.h"
#include "display/display_copy.h"
#include "meter/meter_state.h"
#include "platform/clock.h"
#include "raster/bitmap32.h"

namespace tarnvale {

// Milliseconds between two refreshes of the average readouts and the phase text.
inline constexpr std::uint32_t kSlowUpdateMs = 300;

// Both bars as a display update left them, and the work bitmap's change
// count after it: trusted while nothing else has written since, and only when
// nothing after the bars in that update (readouts, phase) wrote at all.
struct DrawnBars {
  DrawnBar bars[2];
  std::uint64_t changeCount = 0;
};

// What the display update reads besides the meter's state.
struct DisplayUpdateContext {
  const DisplayContext& display;  // work bitmap, settings, colour table, nominal size
  TBitmap32& displayBitmap;       // the display control's surface, sized for sizePercent
  const Clock& clock;
  std::string_view decimalSeparator;  // the user's locale
  // Keeps the last copy to the display, to draw only what changed; without
  // it the whole work bitmap is drawn every time.
  DisplayCopy* displayCopy = nullptr;
  // The bars as last drawn, to fill only the blocks that change; without it
  // every block is filled every time.
  DrawnBars* drawnBars = nullptr;
};

// Puts one buffer's state on screen: the bars, the peak readouts and the phase
// bar every time, the average readouts and the phase text when more than
// 300 ms have passed since they were last drawn, then the work bitmap onto the
// display bitmap, stretched unless the size is 100 %.
void updateDisplay(const MeterReadings& readings, MeterState& state,
                   const DisplayUpdateContext& context);

}  // namespace tarnvale
