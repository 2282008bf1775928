#include "meter/readout_text.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tarnvale {
namespace {

constexpr int kSignificantDigits = 7;

// Room for the fixed text of any double: 309 integer digits, sign, ".0".
using FixedBuffer = std::array<char, 400>;

// Fixed notation with one decimal and "." as separator; returns its length.
std::size_t formatFixed(double value, FixedBuffer& out) {
  // Below 10^6 one decimal keeps at most 7 significant digits.
  if (!std::isfinite(value) || std::fabs(value) < 1e6)
    return static_cast<std::size_t>(std::snprintf(out.data(), out.size(), "%.1f", value));
  // Larger: the 7 leading digits, zeros for the rest of the integer part.
  char scientific[32];
  std::snprintf(scientific, sizeof scientific, "%.*e", kSignificantDigits - 1, value);
  const char* p = scientific;
  std::size_t n = 0;
  if (*p == '-') out[n++] = *p++;
  char digits[kSignificantDigits];
  int count = 0;
  for (; *p != 'e'; ++p)
    if (*p != '.') digits[count++] = *p;
  const int exponent = std::atoi(p + 1);  // at least 6 here
  for (int i = 0; i <= exponent; ++i) out[n++] = i < count ? digits[i] : '0';
  out[n++] = '.';
  out[n++] = '0';
  out[n] = '\0';
  return n;
}

bool continuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string readoutText(double db, std::string_view decimalSeparator) {
  FixedBuffer fixed;
  const std::size_t length = formatFixed(db, fixed);
  const std::string_view formatted(fixed.data(), length);

  // "    " in front, then the last 6 characters (UTF-8: a separator may take
  // more than one byte).
  // A separator is one character, at most 4 bytes; anything longer is cut.
  const std::string_view separator = decimalSeparator.substr(0, 4);
  std::array<char, 4 + sizeof(FixedBuffer) + 4> padded;
  std::size_t n = 0;
  for (int i = 0; i < 4; ++i) padded[n++] = ' ';
  for (char c : formatted) {
    if (c == '.') {
      std::memcpy(padded.data() + n, separator.data(), separator.size());
      n += separator.size();
    } else {
      padded[n++] = c;
    }
  }
  std::size_t start = n;
  for (std::size_t characters = 0; characters < kReadoutLength && start > 0;) {
    --start;
    if (!continuationByte(padded[start])) ++characters;
  }
  return std::string(padded.data() + start, n - start);
}

}  // namespace tarnvale
