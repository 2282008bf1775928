#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/application.h"
#include "platform/data_folder.h"
#include "platform/locale.h"
#include "settings/ini_file.h"
#include "settings/meter_settings.h"

namespace tarnvale {

// Shown under kLevelMeterErrorCaption when the window state cannot be saved
// as the meter window closes: kSaveOnCloseFailedStart + dataFolder +
// kSaveOnCloseFailedEnd.
inline constexpr const char* kSaveOnCloseFailedStart = "Unable to save settings to ";
inline constexpr const char* kSaveOnCloseFailedEnd = "Tarnvale.ini, closing program anyway.";

// The meter window's current position, which the saves write in place of
// windowLeft and windowTop.
struct WindowPosition {
  std::int32_t left = 0, top = 0;
};

// Below, `dataFolder` ends with "/"; the file is settingsPath(dataFolder).

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

// Stores device 0 as the configured one, changing nothing else in the file.
// Throws SettingsWriteError.
void saveDefaultDevice(const std::string& dataFolder);

// A device name as listed, compared and stored: without leading blanks, the
// blanks of the file's text (spaces and tabs).
std::string withoutLeadingBlanks(std::string_view name);

// Whether `answer`, typed to unlock, opens the lock whose password the
// settings hold: letter case counts, and a password stays the one typed after
// a save and a load.
bool opensLock(const std::string& answer, const std::string& lockPassword);

}  // namespace tarnvale
