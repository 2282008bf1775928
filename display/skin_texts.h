#pragma once

#include "platform/application.h"

namespace tarnvale {

// Messages of the skin load, exactly as shown, all under kLevelMeterErrorCaption
// (platform/application.h). The separator is line feed, carriage return, twice.
inline constexpr const char* kSkinMessageSeparator = "\n\r\n\r";

// kSkinMissingStart + graphicPath + separator + kDefaultSkinWillBeUsed
inline constexpr const char* kSkinMissingStart = "Background image file file not found. ";
// kSkinUnusableStart + graphicPath + separator + kDefaultSkinWillBeUsed
inline constexpr const char* kSkinUnusableStart =
    "Error in the background image file, or file not found. ";
inline constexpr const char* kDefaultSkinWillBeUsed = "The default image will be used.";

// kDefaultSkinMissingStart + dataFolder + kDefaultSkinMissingEnd + separator +
// kProgramWillClose. The backslash is part of the text as users know it.
inline constexpr const char* kDefaultSkinMissingStart = "Default Image ";
inline constexpr const char* kDefaultSkinMissingEnd = " Skins\\Graphic.bmp file not found.";
inline constexpr const char* kProgramWillClose = "The program will close.";

}  // namespace tarnvale
