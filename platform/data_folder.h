#pragma once

#include <string>

namespace tarnvale {

// What lies in the machine-wide data folder. `dataFolder` ends with "/".
inline constexpr const char* kSettingsFileName = "Tarnvale.ini";
// The skin installation puts in the data folder; the fallback of every failed load.
inline constexpr const char* kDefaultSkinName = "default.bmp";

inline std::string settingsPath(const std::string& dataFolder) {
  return dataFolder + kSettingsFileName;
}
inline std::string defaultSkinPath(const std::string& dataFolder) {
  return dataFolder + kDefaultSkinName;
}

}  // namespace tarnvale
