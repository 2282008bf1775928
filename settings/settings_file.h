#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/locale.h"
#include "platform/ui.h"
#include "settings/ini_file.h"
#include "settings/meter_settings.h"

namespace tarnvale {

inline constexpr const char* kSettingsFileName = "Tarnvale.ini";
// The skin installation puts in the data folder; the fallback of every failed load.
inline constexpr const char* kDefaultSkinName = "default.bmp";

inline constexpr const char* kDeviceResetMessage =
    "The configured Input Device is not available and will be reset to the default.";
inline constexpr const char* kTarnvaleErrorCaption = " Tarnvale Error";

// Shown when the window state cannot be saved as the meter window closes:
// kSaveOnCloseFailedStart + dataFolder + kSaveOnCloseFailedEnd.
inline constexpr const char* kSaveOnCloseFailedStart = "Unable to save settings to ";
inline constexpr const char* kSaveOnCloseFailedEnd = "Tarnvale.ini, closing program anyway.";
inline constexpr const char* kLevelMeterErrorCaption = " Level Meter Error";

// The meter window's current position, which the saves write in place of
// windowLeft and windowTop.
struct WindowPosition {
  std::int32_t left = 0, top = 0;
};

// `dataFolder` ends with "/".
std::string settingsPath(const std::string& dataFolder);
std::string defaultSkinPath(const std::string& dataFolder);

// Reads every key into `settings` from one read of the file; whatever is
// missing or unreadable takes its default, so this never fails. Holds
// sizePercent within 20..200 and derives avgRingLength. Removes temporary
// files that a save killed part way left beside the file.
void loadSettings(MeterSettings& settings, const std::string& dataFolder, const Locale& locale);
// The same on the file's text.
void readSettings(MeterSettings& settings, std::string_view text, const std::string& dataFolder,
                  const Locale& locale);

// Writes every key. Empties lockPassword first unless locked. The file is
// replaced once, with exactly the text that writing the keys one by one in
// their order gives. Throws SettingsWriteError; the file is then unchanged.
void saveSettings(MeterSettings& settings, const std::string& dataFolder, const Locale& locale,
                  WindowPosition windowPos, bool lockBoxChecked);

// Writes the window position, "borderless", "size", "Device" and "Graphic";
// nothing else, in one replacement. Throws SettingsWriteError.
void saveWindowState(const MeterSettings& settings, const std::string& dataFolder,
                     WindowPosition windowPos);

// One key as a save writes it.
struct SettingsEntry {
  std::string section, key, value;
  bool operator==(const SettingsEntry&) const = default;
};
// What the two saves write, in their order (the full save empties
// lockPassword first unless locked), and the text those writes make of `text`.
std::vector<SettingsEntry> fullSaveEntries(MeterSettings& settings, const Locale& locale,
                                           WindowPosition windowPos, bool lockBoxChecked);
std::vector<SettingsEntry> windowStateEntries(const MeterSettings& settings,
                                              WindowPosition windowPos);
std::string applyEntries(std::string text, const std::vector<SettingsEntry>& entries);

// Tells the user the configured device is gone, out of the always-on-top layer
// so the message is not hidden, and stores device 0. Throws SettingsWriteError.
void resetDeviceSetting(const MeterSettings& settings, const std::string& dataFolder, Ui& ui,
                        const std::function<void(bool)>& setTopmost);

// Whether `answer`, typed to unlock, opens the lock whose password the
// settings hold: letter case counts, and a password stays the one typed after
// a save and a load.
bool opensLock(const std::string& answer, const std::string& lockPassword);

}  // namespace tarnvale
