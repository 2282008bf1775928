#include "settings/settings_file.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "settings/number_text.h"
#include "settings/ring_length.h"

namespace tarnvale {

namespace {

constexpr const char* kInput = "Input";
constexpr const char* kForm = "Form";

// Key names. Two are saved in another letter case than they are loaded; the
// file's names match without regard to case, so both reach the same entry.
constexpr const char* kDeviceName = "Device Name";
constexpr const char* kDevice = "Device";
constexpr const char* kShortName = "Short Name";
constexpr const char* kCal = "cal";
constexpr const char* kClipLevel = "ClipLevel";
constexpr const char* kAmber = "amber";
constexpr const char* kBorderless = "borderless";
constexpr const char* kPassword = "password";
constexpr const char* kDecay = "decay";
constexpr const char* kOnTopLoad = "OnTop";
constexpr const char* kOnTopSave = "ontop";
constexpr const char* kShowPhaseLoad = "Show Phase";
constexpr const char* kShowPhaseSave = "SHow Phase";
constexpr const char* kShowAverage = "Show Average";
constexpr const char* kLocked = "Locked";
constexpr const char* kTopColor = "TopColor";
constexpr const char* kMidColor = "MidColor";
constexpr const char* kBaseColor = "BaseColor";
constexpr const char* kPeakColor = "PeakColor";
constexpr const char* kBlend = "Blend";
constexpr const char* kHoldPeaks = "Hold Peaks";
constexpr const char* kReadout = "Readout";
constexpr const char* kAverageTime = "Average Time";
constexpr const char* kBarWidth = "Bar Width";
constexpr const char* kOffsetLeft = "Offset Left";
constexpr const char* kOffsetRight = "Offset Right";
constexpr const char* kDcOffsetComp = "DC Offset Comp";
constexpr const char* kDcOffsetLeft = "DC Offset Left";
constexpr const char* kDcOffsetRight = "DC Offset Right";
constexpr const char* kSampleRate = "Sample Rate";
constexpr const char* kResetTime = "Reset Time";
constexpr const char* kColouredPeaks = "Coloured Peaks";
constexpr const char* kLeft = "left";
constexpr const char* kTop = "top";
constexpr const char* kSize = "size";
constexpr const char* kRedStart = "redstart";
constexpr const char* kAmberStart = "amberstart";
constexpr const char* kBlocks = "Blocks";
constexpr const char* kVertical = "Vertical";
constexpr const char* kChannelMode = "Channel Mode";
constexpr const char* kGraphic = "Graphic";
constexpr const char* kFontName = "FontName";
constexpr const char* kFontSize = "FontSize";
constexpr const char* kFontColor = "FontColor";
constexpr const char* kFontStyle = "FontStyle";

// Reads keys from one snapshot of the file.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  void text(const char* section, const char* key, std::string& field,
            const std::string& fallback) const {
    field = readProfileString(text_, section, key).value_or(fallback);
  }
  void integer(const char* section, const char* key, std::int32_t& field,
               std::int32_t fallback) const {
    const std::optional<std::string> value = readProfileString(text_, section, key);
    field = value ? parseInteger(*value).value_or(fallback) : fallback;
  }
  void boolean(const char* section, const char* key, bool& field, bool fallback) const {
    const std::optional<std::string> value = readProfileString(text_, section, key);
    const std::optional<std::int32_t> number = value ? parseInteger(*value) : std::nullopt;
    field = number ? *number != 0 : fallback;
  }
  void real(const char* section, const char* key, double& field, double fallback,
            const std::string& separator) const {
    const std::optional<std::string> value = readProfileString(text_, section, key);
    field = value ? parseReal(*value, separator).value_or(fallback) : fallback;
  }

 private:
  std::string_view text_;
};

// Collects the entries of a save in their order.
class Writer {
 public:
  void text(const char* section, const char* key, std::string_view value) {
    entries.push_back({section, key, std::string(value)});
  }
  void integer(const char* section, const char* key, std::int32_t value) {
    entries.push_back({section, key, std::to_string(value)});
  }
  void boolean(const char* section, const char* key, bool value) {
    entries.push_back({section, key, value ? "1" : "0"});
  }

  std::vector<SettingsEntry> entries;
};

// Quoted, so that blanks and quotes at either end survive the read.
std::string passwordText(const std::string& password) {
  return password.empty() ? std::string() : "\"" + password + "\"";
}

// What a read of the password gives back for `text` as written.
std::string passwordAsRead(std::string_view text) {
  return readProfileString(writeProfileString("", kForm, kPassword, text), kForm, kPassword)
      .value_or(std::string());
}

// One replacement of the file for the whole save.
void writeEntries(const std::string& dataFolder, const std::vector<SettingsEntry>& entries) {
  IniFile(settingsPath(dataFolder)).update([&](std::string text) {
    return applyEntries(std::move(text), entries);
  });
}

}  // namespace

void loadSettings(MeterSettings& s, const std::string& dataFolder, const Locale& locale) {
  const IniFile file(settingsPath(dataFolder));
  file.removeStaleTemporaryFiles();
  readSettings(s, file.readAll(), dataFolder, locale);
}

std::string applyEntries(std::string text, const std::vector<SettingsEntry>& entries) {
  for (const SettingsEntry& e : entries) text = writeProfileString(text, e.section, e.key, e.value);
  return text;
}

void readSettings(MeterSettings& s, std::string_view text, const std::string& dataFolder,
                  const Locale& locale) {
  const MeterSettings defaults;
  const Reader in(text);

  in.text(kInput, kDeviceName, s.deviceName, defaults.deviceName);
  in.integer(kInput, kDevice, s.deviceIndex, defaults.deviceIndex);
  in.text(kInput, kShortName, s.shortName, defaults.shortName);

  in.text(kForm, kCal, s.calibrationText, defaults.calibrationText);
  in.real(kForm, kClipLevel, s.clipLevelDb, defaults.clipLevelDb, locale.decimalSeparator());
  in.boolean(kForm, kAmber, s.amber, defaults.amber);
  in.boolean(kForm, kBorderless, s.borderless, defaults.borderless);
  in.text(kForm, kPassword, s.lockPassword, defaults.lockPassword);
  in.text(kForm, kDecay, s.decayText, defaults.decayText);
  in.boolean(kForm, kOnTopLoad, s.onTop, defaults.onTop);
  in.boolean(kForm, kShowPhaseLoad, s.showPhase, defaults.showPhase);
  in.boolean(kForm, kShowAverage, s.showAverage, defaults.showAverage);
  in.boolean(kForm, kLocked, s.locked, defaults.locked);
  in.integer(kForm, kTopColor, s.topColor, defaults.topColor);
  in.integer(kForm, kMidColor, s.midColor, defaults.midColor);
  in.integer(kForm, kBaseColor, s.baseColor, defaults.baseColor);
  in.integer(kForm, kPeakColor, s.peakColor, defaults.peakColor);
  in.boolean(kForm, kBlend, s.blend, defaults.blend);
  in.boolean(kForm, kHoldPeaks, s.holdPeaks, defaults.holdPeaks);
  in.integer(kForm, kReadout, s.readoutMode, defaults.readoutMode);
  in.integer(kForm, kAverageTime, s.averageTimeMs, defaults.averageTimeMs);
  in.integer(kForm, kBarWidth, s.barWidth, defaults.barWidth);
  in.integer(kForm, kOffsetLeft, s.offsetLeft, defaults.offsetLeft);
  in.integer(kForm, kOffsetRight, s.offsetRight, defaults.offsetRight);
  in.boolean(kForm, kDcOffsetComp, s.dcOffsetComp, defaults.dcOffsetComp);
  in.integer(kForm, kDcOffsetLeft, s.dcOffsetLeft, defaults.dcOffsetLeft);
  in.integer(kForm, kDcOffsetRight, s.dcOffsetRight, defaults.dcOffsetRight);
  in.integer(kForm, kSampleRate, s.sampleRate, defaults.sampleRate);
  in.integer(kForm, kResetTime, s.holdResetMs, defaults.holdResetMs);
  in.boolean(kForm, kColouredPeaks, s.colouredPeaks, defaults.colouredPeaks);
  in.integer(kForm, kLeft, s.windowLeft, defaults.windowLeft);
  in.integer(kForm, kTop, s.windowTop, defaults.windowTop);
  in.integer(kForm, kSize, s.sizePercent, defaults.sizePercent);
  s.sizePercent = std::clamp(s.sizePercent, kMinSizePercent, kMaxSizePercent);
  in.integer(kForm, kRedStart, s.redStart, defaults.redStart);
  in.integer(kForm, kAmberStart, s.amberStart, defaults.amberStart);
  in.boolean(kForm, kBlocks, s.blocks, defaults.blocks);
  in.boolean(kForm, kVertical, s.vertical, defaults.vertical);
  in.integer(kForm, kChannelMode, s.channelMode, defaults.channelMode);
  in.text(kForm, kGraphic, s.graphicPath, defaultSkinPath(dataFolder));
  in.text(kForm, kFontName, s.labelFont.name, defaults.labelFont.name);
  in.integer(kForm, kFontSize, s.labelFont.size, defaults.labelFont.size);
  in.integer(kForm, kFontColor, s.labelFont.color, defaults.labelFont.color);
  in.integer(kForm, kFontStyle, s.labelFont.style, defaults.labelFont.style);

  s.avgRingLength =
      clampRingLength(ringLengthFor(s.averageTimeMs, s.sampleRate, bufferBytesFor(s.sampleRate)));
}

void saveSettings(MeterSettings& s, const std::string& dataFolder, const Locale& locale,
                  WindowPosition windowPos, bool lockBoxChecked) {
  writeEntries(dataFolder, fullSaveEntries(s, locale, windowPos, lockBoxChecked));
}

std::vector<SettingsEntry> fullSaveEntries(MeterSettings& s, const Locale& locale,
                                           WindowPosition windowPos, bool lockBoxChecked) {
  Writer out;

  out.text(kInput, kDeviceName, withoutLeadingBlanks(s.deviceName));
  out.integer(kInput, kDevice, s.deviceIndex);
  // Quoted, so blanks at either end of the label survive the read.
  out.text(kInput, kShortName, "\"" + s.shortName + "\"");

  out.text(kForm, kCal, s.calibrationText);
  out.text(kForm, kClipLevel, formatGeneral(s.clipLevelDb, locale.decimalSeparator()));
  out.text(kForm, kDecay, s.decayText);
  out.boolean(kForm, kAmber, s.amber);
  out.boolean(kForm, kBorderless, s.borderless);
  out.boolean(kForm, kOnTopSave, s.onTop);
  out.boolean(kForm, kShowAverage, s.showAverage);
  out.boolean(kForm, kShowPhaseSave, s.showPhase);
  out.integer(kForm, kTopColor, s.topColor);
  out.integer(kForm, kMidColor, s.midColor);
  out.integer(kForm, kBaseColor, s.baseColor);
  out.integer(kForm, kPeakColor, s.peakColor);
  out.boolean(kForm, kBlend, s.blend);
  out.boolean(kForm, kHoldPeaks, s.holdPeaks);
  out.integer(kForm, kReadout, s.readoutMode);
  out.integer(kForm, kAverageTime, s.averageTimeMs);
  out.integer(kForm, kResetTime, s.holdResetMs);
  out.boolean(kForm, kColouredPeaks, s.colouredPeaks);
  out.integer(kForm, kBarWidth, s.barWidth);
  out.integer(kForm, kOffsetLeft, s.offsetLeft);
  out.integer(kForm, kOffsetRight, s.offsetRight);
  out.boolean(kForm, kDcOffsetComp, s.dcOffsetComp);
  out.integer(kForm, kDcOffsetLeft, s.dcOffsetLeft);
  out.integer(kForm, kDcOffsetRight, s.dcOffsetRight);
  out.integer(kForm, kSampleRate, s.sampleRate);
  // The password is kept on disk only while the settings are locked.
  if (!s.locked) s.lockPassword.clear();
  out.text(kForm, kPassword, passwordText(s.lockPassword));
  out.boolean(kForm, kLocked, lockBoxChecked);
  out.integer(kForm, kLeft, windowPos.left);
  out.integer(kForm, kTop, windowPos.top);
  out.integer(kForm, kSize, s.sizePercent);
  out.integer(kForm, kRedStart, s.redStart);
  out.integer(kForm, kAmberStart, s.amberStart);
  out.boolean(kForm, kBlocks, s.blocks);
  out.boolean(kForm, kVertical, s.vertical);
  out.integer(kForm, kChannelMode, s.channelMode);
  out.text(kForm, kGraphic, s.graphicPath);
  out.text(kForm, kFontName, s.labelFont.name);
  out.integer(kForm, kFontSize, s.labelFont.size);
  out.integer(kForm, kFontColor, s.labelFont.color);
  // Only the four style bits are a font style; others have no effect.
  out.integer(kForm, kFontStyle, s.labelFont.style & 15);
  return std::move(out.entries);
}

void saveWindowState(const MeterSettings& s, const std::string& dataFolder,
                     WindowPosition windowPos) {
  writeEntries(dataFolder, windowStateEntries(s, windowPos));
}

std::vector<SettingsEntry> windowStateEntries(const MeterSettings& s, WindowPosition windowPos) {
  Writer out;
  out.integer(kForm, kLeft, windowPos.left);
  out.integer(kForm, kTop, windowPos.top);
  out.boolean(kForm, kBorderless, s.borderless);
  out.integer(kForm, kSize, s.sizePercent);
  out.integer(kInput, kDevice, s.deviceIndex);
  out.text(kForm, kGraphic, s.graphicPath);
  return std::move(out.entries);
}

void saveDefaultDevice(const std::string& dataFolder) {
  IniFile(settingsPath(dataFolder)).write(kInput, kDevice, "0");
}

std::string withoutLeadingBlanks(std::string_view name) {
  while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
  return std::string(name);
}

bool opensLock(const std::string& answer, const std::string& lockPassword) {
  // After a restart the password is what the file gave back: the typed text
  // itself, cut to the longest value a read returns, or from a file written
  // before passwords were quoted, that text without blanks or one pair of
  // quotes around it.
  return answer == lockPassword || passwordAsRead(passwordText(answer)) == lockPassword ||
         passwordAsRead(answer) == lockPassword;
}

}  // namespace tarnvale
