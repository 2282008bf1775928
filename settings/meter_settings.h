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
  std::int32_t readoutMode = 0;  // 0 none, 1 held peaks, 2 running average
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
  std::int32_t channelMode = 0;  // 0 stereo, 1 mono left, 2 mono right, 3 mono L+R -6 dB
  std::string graphicPath;
  LabelFont labelFont;

  // Derived from averageTimeMs, never stored: buffers in the running averages.
  std::int32_t avgRingLength = 9;

  bool operator==(const MeterSettings&) const = default;
};

}  // namespace tarnvale
