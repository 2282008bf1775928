#pragma once

#include <cstdint>
#include <string>

namespace tarnvale {

// Font of the display label: face, points, colour (0x00BBGGRR, 0xFF in the top
// byte for a system colour) and style bits (1 bold, 2 italic, 4 underline,
// 8 strike-through).
struct LabelFont {
  std::string name = "Arial";
  std::int32_t size = 12;
  std::int32_t color = 0x00FFFFFF;
  std::int32_t style = 0;
  bool operator==(const LabelFont&) const = default;
};

// The display size in percent of the skin's, as every load and OK hold it.
inline constexpr std::int32_t kMinSizePercent = 20;
inline constexpr std::int32_t kMaxSizePercent = 200;

// What the stored channelMode means: the file holds 0..3 in this order, the
// order of the dialog's entries. Any other number, which only a hand-edited
// file holds, is Unknown and is kept as it is: the buffers are analysed as
// stereo, no bar and no phase display is drawn, the readout box stays empty,
// and the dialog selects no entry.
enum class ChannelMode { Stereo, MonoLeft, MonoRight, MonoMix, Unknown };
constexpr ChannelMode channelModeOf(std::int32_t stored) {
  return stored >= 0 && stored <= 3 ? static_cast<ChannelMode>(stored) : ChannelMode::Unknown;
}
// The number stored for a known mode.
constexpr std::int32_t storedValue(ChannelMode mode) {
  return static_cast<std::int32_t>(mode);
}

// What the stored readoutMode means: 0 none, 1 the held peaks, 2 the running
// averages. Any other number (hand-edited) is Unknown and is kept as it is: no
// readout is drawn, but the phase text is, as with a readout; the dialog
// leaves its selection as it was.
enum class ReadoutMode { None, HeldPeaks, Average, Unknown };
constexpr ReadoutMode readoutModeOf(std::int32_t stored) {
  return stored >= 0 && stored <= 2 ? static_cast<ReadoutMode>(stored) : ReadoutMode::Unknown;
}
constexpr std::int32_t storedValue(ReadoutMode mode) {
  return static_cast<std::int32_t>(mode);
}

// Every user setting, one field per key of the settings file. The initial
// values are the file's defaults for a missing key, except `graphicPath`, whose
// default depends on the data folder and is filled in by the load.
struct MeterSettings {
  // [Input]
  std::string deviceName;
  std::int32_t deviceIndex = 0;
  std::string shortName = "Peak Level";
  // [Form]
  std::string calibrationText = "0";
  double clipLevelDb = -0.5;
  std::string decayText = "4";
  bool amber = false;
  bool borderless = false;
  bool onTop = false;
  bool showAverage = true;
  bool showPhase = false;
  std::int32_t topColor = 0x00FF0000;  // 0xAARRGGBB
  std::int32_t midColor = 0x00FFFF00;
  std::int32_t baseColor = 0x0000FF00;
  std::int32_t peakColor = 0x00FFFFFF;
  bool blend = true;
  bool holdPeaks = false;
  std::int32_t readoutMode = 0;  // as stored; readoutModeOf tells what it means
  std::int32_t averageTimeMs = 300;
  std::int32_t holdResetMs = 2000;
  bool colouredPeaks = true;
  std::int32_t barWidth = 20;
  std::int32_t offsetLeft = 0;
  std::int32_t offsetRight = 0;
  bool dcOffsetComp = false;
  std::int32_t dcOffsetLeft = 0;
  std::int32_t dcOffsetRight = 0;
  std::int32_t sampleRate = 44100;
  std::string lockPassword;
  bool locked = false;
  std::int32_t windowLeft = 200;
  std::int32_t windowTop = 200;
  std::int32_t sizePercent = 100;
  std::int32_t redStart = 53;
  std::int32_t amberStart = 32;
  bool blocks = true;
  bool vertical = true;
  std::int32_t channelMode = 0;  // as stored; channelModeOf tells what it means
  std::string graphicPath;
  LabelFont labelFont;

  // Derived from averageTimeMs, never stored: buffers in the running averages.
  std::int32_t avgRingLength = 9;

  bool operator==(const MeterSettings&) const = default;
};

}  // namespace tarnvale
