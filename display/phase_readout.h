#pragma once

#include <cstdint>
#include <string>

#include "display/display_context.h"
#include "raster/color.h"

namespace tarnvale {

inline constexpr TColor32 kOutOfPhaseColour = 0x00C00000;
inline constexpr TColor32 kInPhaseColour = 0x0000B000;
inline constexpr TColor32 kPhaseMarkerColour = 0x00FFFFFF;

// The angle as shown: whole degrees with the sign, then the ordinal sign
// (U+00BA): -12 gives "-12º".
std::string phaseText(std::int32_t phaseAverage);

// The angle in degrees on a black box, only with the phase display on, the
// readouts on and stereo channels.
void drawPhaseText(const DisplayContext& context, std::int32_t phaseAverage);

// A red and green strip with a white marker for the angle's magnitude: at the
// green end for 0, moving into the red half as the angle grows. Only with the
// phase display on and stereo channels.
void drawPhaseBar(const DisplayContext& context, std::int32_t phaseAverage);

}  // namespace tarnvale
