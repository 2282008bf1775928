#include "setup/entry_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "settings/meter_settings.h"
#include "settings/number_text.h"
#include "setup/setup_texts.h"

namespace tarnvale {

namespace {

constexpr std::int32_t kKeyColour = 0x400040;  // the meter window's see-through colour
constexpr std::int32_t kNearKeyColour = 0x410041;

// One character as UTF-8; the filter sees Latin-1 ones only.
std::string utf8(char32_t c) {
  if (c < 0x80) return std::string(1, static_cast<char>(c));
  return {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
}

// The text's number times `scale`, or the fallback, noted as no number.
TimeEntry readTime(std::string_view text, std::string_view separator, double scale,
                   double fallback) {
  if (const auto value = parseReal(text, separator)) return {*value * scale, false, false};
  return {fallback, true, false};
}

}  // namespace

KeyCheck checkKey(EntryField field, char32_t key, std::string_view text, bool atStart,
                  std::string_view systemSeparator, std::string_view userSeparator) {
  if (key < 0x20 || key == 0x7F) return {};
  if (key > 255) return {true, {}};
  const bool digit = key >= '0' && key <= '9';
  const std::string typed = utf8(key);
  const bool separator = typed == systemSeparator;
  switch (field) {
    case EntryField::Decay:
    case EntryField::Size:
      return {!digit, {}};
    case EntryField::AverageTime:
    case EntryField::ResetTime:
      return {!digit && !separator, {}};
    case EntryField::Other:
      return {};
    case EntryField::Calibration:
    case EntryField::ClipLevel:
      break;
  }
  const bool minus = key == '-';
  if (!digit && !minus && !separator) return {true, {}};
  if ((minus || separator || typed == userSeparator) && text.find(typed) != std::string::npos)
    return {true, kInvalidKeyTwice + typed};
  if (minus && !atStart) return {true, kMinusAtBeginning};
  return {};
}

TimeEntry averageTimeWhileTyping(std::string_view text, std::string_view separator) {
  TimeEntry entry = readTime(text, separator, 1000, kAverageTimeFallbackMs);
  if (!entry.notANumber) entry.value = std::max(entry.value, kAverageTimeFloorMs);
  entry.outOfRange = entry.value > kAverageTimeMaxMs;
  return entry;
}

TimeEntry averageTimeAtOk(std::string_view text, std::string_view separator) {
  TimeEntry entry = readTime(text, separator, 1000, kAverageTimeFallbackMs);
  entry.outOfRange = entry.value <= kAverageTimeAboveMs || entry.value > kAverageTimeMaxMs;
  return entry;
}

TimeEntry resetTimeWhileTyping(std::string_view text, std::string_view separator) {
  TimeEntry entry = readTime(text, separator, 1, kResetTimeFallbackSeconds);
  if (!entry.notANumber) entry.value = std::max(entry.value, kResetTimeMinSeconds);
  entry.outOfRange = entry.value > kResetTimeMaxSeconds;
  return entry;
}

TimeEntry resetTimeAtOk(std::string_view text, std::string_view separator) {
  TimeEntry entry = readTime(text, separator, 1, kResetTimeFallbackSeconds);
  entry.outOfRange = entry.value < kResetTimeMinSeconds || entry.value > kResetTimeMaxSeconds;
  return entry;
}

std::string formatThreeDigits(double value, const std::string& separator) {
  if (value == 0 || !std::isfinite(value)) return "0";
  const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
  if (exponent > 2) {
    // Whole numbers have more than three digits here: round away the rest.
    const double unit = std::pow(10.0, exponent - 2);
    value = std::round(value / unit) * unit;
  }
  const int decimals = std::max(0, 2 - exponent);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string text = buffer;
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  if (const auto dot = text.find('.'); dot != std::string::npos) text.replace(dot, 1, separator);
  return text;
}

double clipLevelFromText(std::string_view text, std::string_view separator) {
  const auto v = parseReal(text, separator);
  if (!v) return kFallbackClipLevelDb;
  // Zero stays 0 rather than becoming -0.
  return *v > 0 ? -*v : (*v == 0 ? 0.0 : *v);
}

std::int32_t sizePercentFromText(std::string_view text) {
  return std::clamp(parseInteger(text).value_or(100), kMinSizePercent, kMaxSizePercent);
}

int offeredRateIndex(std::int32_t rate) {
  int index = 1;
  for (std::size_t i = 0; i < kOfferedRates.size(); ++i)
    if (kOfferedRates[i] == rate) index = static_cast<int>(i);
  return index;
}

std::int32_t avoidingKeyColour(std::int32_t colour) {
  return colour == kKeyColour ? kNearKeyColour : colour;
}

std::string fileNameOf(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace tarnvale
