#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnvale {

// Whole numbers as the settings file and the decay field take them: optional
// leading blanks, at most one sign, then decimal digits or, after "$", "x",
// "X", "0x" or "0X", one to eight hexadecimal digits (the top bit set reads as
// negative). The whole text must be used. Decimal values outside 32 bits fail.
std::optional<std::int32_t> parseInteger(std::string_view text);

// A real number in the given decimal separator: blanks around it, an optional
// sign, digits with at most one separator, an optional exponent. Anything
// else, or a value that does not fit a double, fails.
std::optional<double> parseReal(std::string_view text, std::string_view separator);

// General format with 15 significant digits, trailing zeros removed; fixed
// notation unless the magnitude is below 0.00001 or has more than 15 digits
// before the separator ("-0.5", "4", "1E-6", "1.5E20").
std::string formatGeneral(double value, std::string_view separator);

}  // namespace tarnvale
