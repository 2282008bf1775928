#pragma once

namespace tarnvale {

// The application's title: the taskbar caption, the caption of errors no
// handler catches, and the window caption when the label is empty.
inline constexpr const char* kApplicationTitle = "Tarnvale";
// The icon's name in the desktop's icon theme, for windows and for mixers.
inline constexpr const char* kIconName = "tarnvale";

// The caption of the skin load's messages and of a failed save as the meter
// window closes (the leading blank is part of it).
inline constexpr const char* kLevelMeterErrorCaption = " Level Meter Error";

}  // namespace tarnvale
