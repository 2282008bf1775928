#pragma once

#include <string>

namespace tarnvale {

// What lies in the machine-wide data folder. `dataFolder` ends with "/".
inline constexpr const char* kSettingsFileName = "Tarnvale.ini";
// The skin installation puts in the data folder; the fallback of every failed load.
inline constexpr const char* kDefaultSkinName = "default.bmp";
// Where users put skins; the skin chooser opens there.
inline constexpr const char* kSkinsFolderName = "Skins";
// The help page, opened by F1 and the dialog's Help.
inline constexpr const char* kHelpDocument = "Help/index.html";

inline std::string settingsPath(const std::string& dataFolder) {
  return dataFolder + kSettingsFileName;
}
inline std::string defaultSkinPath(const std::string& dataFolder) {
  return dataFolder + kDefaultSkinName;
}

}  // namespace tarnvale
