#include "setup/entry_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "setup/setup_texts.h"

namespace tarnvale {
namespace {

TEST(KeyFilter, LetsInWhatTheFieldHolds) {
  const struct {
    EntryField field;
    char32_t key;
    const char* text;
    bool atStart;
    const char* systemSeparator;
    const char* userSeparator;
    bool refused;
    std::string message;
  } cases[] = {
      // Control characters are no text; beyond Latin-1 nothing is let in.
      {EntryField::Size, 0x08, "12", false, ".", ".", false, ""},
      {EntryField::Calibration, 0x7F, "-4", false, ".", ".", false, ""},
      {EntryField::Other, 0x20AC, "", true, ".", ".", true, ""},
      {EntryField::Other, U'\u00E9', "Peak", false, ".", ".", false, ""},
      // Digits only.
      {EntryField::Decay, '5', "4", false, ".", ".", false, ""},
      {EntryField::Decay, '.', "4", false, ".", ".", true, ""},
      {EntryField::Size, '-', "10", true, ".", ".", true, ""},
      // Times: digits and the system's separator, as often as typed.
      {EntryField::AverageTime, ',', "0,3", false, ",", ".", false, ""},
      {EntryField::AverageTime, '.', "0", false, ",", ".", true, ""},
      {EntryField::ResetTime, 'x', "2", false, ".", ".", true, ""},
      // Numbers in dB: one minus sign, in front, and one separator.
      {EntryField::Calibration, '-', "4", true, ".", ".", false, ""},
      {EntryField::Calibration, '-', "4", false, ".", ".", true, kMinusAtBeginning},
      {EntryField::ClipLevel, '-', "-1", true, ".", ".", true, "Invalid Key: twice -"},
      {EntryField::ClipLevel, '.', "0.5", false, ".", ".", true, "Invalid Key: twice ."},
      {EntryField::Calibration, ',', "4,5", false, ",", ".", true, "Invalid Key: twice ,"},
      // The user's separator, where it is not the system's, is refused at once.
      {EntryField::Calibration, '.', "4.5", false, ",", ".", true, ""},
      {EntryField::Calibration, 'a', "4", false, ".", ".", true, ""},
      // A Latin-1 separator is compared as the text holds it (UTF-8).
      {EntryField::Calibration, U'\u00B7', "1", false, "\u00B7", "\u00B7", false, ""},
      {EntryField::Calibration, U'\u00B7', "1\u00B75", false, "\u00B7", "\u00B7", true,
       "Invalid Key: twice \u00B7"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " +" + std::to_string(static_cast<unsigned>(c.key)));
    const KeyCheck check =
        checkKey(c.field, c.key, c.text, c.atStart, c.systemSeparator, c.userSeparator);
    EXPECT_EQ(check.refused, c.refused);
    EXPECT_EQ(check.message, c.message);
  }
}

TEST(TimeFields, TypingRaisesSmallValuesWhereOkRefusesThem) {
  using Rule = std::function<TimeEntry(std::string_view, std::string_view)>;
  const Rule averageTyped = averageTimeWhileTyping, averageOk = averageTimeAtOk;
  const Rule resetTyped = resetTimeWhileTyping, resetOk = resetTimeAtOk;
  const struct {
    const char* what;
    const Rule& rule;
    const char* text;
    double value;
    bool notANumber, outOfRange;
  } cases[] = {
      {"average typed", averageTyped, "0", kAverageTimeFloorMs, false, false},
      {"average typed", averageTyped, "0.02", kAverageTimeFloorMs, false, false},
      {"average typed", averageTyped, "15", kAverageTimeMaxMs, false, false},
      {"average typed", averageTyped, "15.5", 15500, false, true},
      {"average typed", averageTyped, "", kAverageTimeFallbackMs, true, false},
      {"average at OK", averageOk, "0.03", 30, false, true},
      {"average at OK", averageOk, "0.031", 31, false, false},
      {"average at OK", averageOk, "15", kAverageTimeMaxMs, false, false},
      {"average at OK", averageOk, "15.5", 15500, false, true},
      {"average at OK", averageOk, "x", kAverageTimeFallbackMs, true, false},
      {"reset typed", resetTyped, "0", kResetTimeMinSeconds, false, false},
      {"reset typed", resetTyped, "300", kResetTimeMaxSeconds, false, false},
      {"reset typed", resetTyped, "300.5", 300.5, false, true},
      {"reset typed", resetTyped, "", kResetTimeFallbackSeconds, true, false},
      {"reset at OK", resetOk, "0.05", 0.05, false, true},
      {"reset at OK", resetOk, "0.1", kResetTimeMinSeconds, false, false},
      {"reset at OK", resetOk, "300", kResetTimeMaxSeconds, false, false},
      {"reset at OK", resetOk, "301", 301, false, true},
      {"reset at OK", resetOk, "-", kResetTimeFallbackSeconds, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + " \"" + c.text + "\"");
    const TimeEntry entry = c.rule(c.text, ".");
    EXPECT_DOUBLE_EQ(entry.value, c.value);
    EXPECT_EQ(entry.notANumber, c.notANumber);
    EXPECT_EQ(entry.outOfRange, c.outOfRange);
  }
  // The user's separator.
  EXPECT_DOUBLE_EQ(averageTimeAtOk("0,5", ",").value, 500);
  EXPECT_TRUE(averageTimeAtOk("0.5", ",").notANumber);
}

TEST(OtherFields, TakeTheirTextsAsOkAndTheChangeActionsDo) {
  const struct {
    const char* text;
    double db;
  } clips[] = {{"0.5", -0.5},
               {"-3", -3},
               {"0", 0},
               {"", kFallbackClipLevelDb},
               {"abc", kFallbackClipLevelDb},
               {"1,5", kFallbackClipLevelDb}};
  for (const auto& c : clips) EXPECT_EQ(clipLevelFromText(c.text, "."), c.db) << c.text;
  EXPECT_FALSE(std::signbit(clipLevelFromText("0", ".")));
  EXPECT_EQ(clipLevelFromText("1,5", ","), -1.5);

  const struct {
    const char* text;
    std::int32_t percent;
  } sizes[] = {{"10", 20},   {"20", 20}, {"35", 35}, {"200", 200},
               {"201", 200}, {"", 100},  {"x", 100}, {"$10", 20}};
  for (const auto& c : sizes) EXPECT_EQ(sizePercentFromText(c.text), c.percent) << c.text;

  const struct {
    std::int32_t rate;
    int index;
  } rates[] = {{22050, 0}, {44100, 1}, {48000, 2}, {96000, 3}, {32000, 1}, {0, 1}};
  for (const auto& c : rates) EXPECT_EQ(offeredRateIndex(c.rate), c.index) << c.rate;

  EXPECT_EQ(avoidingKeyColour(0x400040), 0x410041);
  EXPECT_EQ(avoidingKeyColour(0x400041), 0x400041);
  EXPECT_EQ(avoidingKeyColour(0), 0);

  EXPECT_EQ(fileNameOf("/var/lib/Quillmoor/Tarnvale/Skins/green.bmp"), "green.bmp");
  EXPECT_EQ(fileNameOf("C:\\Skins\\old.jpg"), "old.jpg");
  EXPECT_EQ(fileNameOf("plain.bmp"), "plain.bmp");
}

}  // namespace
}  // namespace tarnvale
