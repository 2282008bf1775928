#pragma once

#include <string>
#include <string_view>

namespace tarnvale {

// Characters in every readout text.
inline constexpr std::size_t kReadoutLength = 6;

// A dB value as the numeric readouts show it: fixed notation with one decimal
// in the given separator (at most 7 significant digits), right-aligned in 6
// characters; a longer text keeps its last 6. -3.46 gives "  -3.5".
std::string readoutText(double db, std::string_view decimalSeparator);

}  // namespace tarnvale
