#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnvale {

// The setup dialog's entry rules, without its widgets: what the key filter
// lets into a field, and what a field's text gives while it is typed and at OK.

// The entry fields the key filter knows, by what they hold.
enum class EntryField {
  Calibration,  // Edit1: dB, digits, a minus sign in front and one separator
  ClipLevel,    // Edit8: the same
  Decay,        // Edit2: digits
  Size,         // Edit3: digits
  AverageTime,  // Edit6: seconds, digits and separators
  ResetTime,    // Edit7: the same
  Other,        // the label Edit4 and the skin name Edit5: anything
};

// What the key filter does with one typed character.
struct KeyCheck {
  bool refused = false;
  std::string message;  // shown under the application's title; empty for none
};

// `key` typed into `field`, whose text is `text` (UTF-8); `atStart` when it
// would go in front of the text. Control characters (backspace, Enter,
// shortcuts) pass, characters beyond Latin-1 never do. The filter takes the
// system's default separator; a number field refuses a second minus sign,
// and a second separator of the system's or of the user's.
KeyCheck checkKey(EntryField field, char32_t key, std::string_view text, bool atStart,
                  std::string_view systemSeparator, std::string_view userSeparator);

// The time fields' bounds. A time being typed passes through small values on
// its way ("0", "0.0" before "0.05"), so while typing a small one is raised to
// the floor without a word; at OK the text is final, and a value outside the
// bounds is reported and not taken.
inline constexpr double kAverageTimeFloorMs = 33;      // while typing: about one buffer
inline constexpr double kAverageTimeAboveMs = 30;      // at OK: more than this
inline constexpr double kAverageTimeMaxMs = 15000;     // both
inline constexpr double kAverageTimeFallbackMs = 300;  // for a text that is no number
inline constexpr double kResetTimeMinSeconds = 0.1;    // the floor while typing; at OK the least
inline constexpr double kResetTimeMaxSeconds = 300;    // both
inline constexpr double kResetTimeFallbackSeconds = 2;

// What the text of a time field gives.
struct TimeEntry {
  double value = 0;         // ms for the average time, seconds for the reset time
  bool notANumber = false;  // to be reported; value is then the fallback
  bool outOfRange = false;  // to be reported; the stored time stays as it was
};

// Edit6 (seconds) as the average time in ms, and Edit7 as the hold reset time
// in seconds, while typed and at OK.
TimeEntry averageTimeWhileTyping(std::string_view text, std::string_view separator);
TimeEntry averageTimeAtOk(std::string_view text, std::string_view separator);
TimeEntry resetTimeWhileTyping(std::string_view text, std::string_view separator);
TimeEntry resetTimeAtOk(std::string_view text, std::string_view separator);

// 3 significant digits, fixed-point, trailing zeros removed. From 1000 on
// (only a hand-edited time gets there) the digits after the third are zeros:
// 1234.567 shows as 1230.
std::string formatThreeDigits(double value, const std::string& separator);

// Edit8 as the clip level, live and at OK alike: never above full scale, a
// positive number counts as that many dB below it; a text that is no number
// gives kFallbackClipLevelDb.
inline constexpr double kFallbackClipLevelDb = -0.5;
double clipLevelFromText(std::string_view text, std::string_view separator);

// Edit3 at OK: a whole number held within kMinSizePercent..kMaxSizePercent
// (its label says 50, but 20 to 49 are taken too); anything else is 100.
std::int32_t sizePercentFromText(std::string_view text);

// The sample rates ComboBoxRate offers, in its order, and the entry that
// shows `rate`: a rate it does not offer (a hand-edited file) shows as 44100.
inline constexpr std::array<std::int32_t, 4> kOfferedRates = {22050, 44100, 48000, 96000};
int offeredRateIndex(std::int32_t rate);

// A colour chosen for a bar (0x00BBGGRR): the meter window's see-through key
// colour becomes the colour next to it, so that the bar stays visible.
std::int32_t avoidingKeyColour(std::int32_t colour);

// What Edit5 shows of a skin's path: its file name.
std::string fileNameOf(const std::string& path);

}  // namespace tarnvale
