#pragma once

namespace tarnvale {

// The application's title: the taskbar caption, the caption of errors no
// handler catches, and the window caption when the label is empty.
inline constexpr const char* kApplicationTitle = "Tarnvale";

}  // namespace tarnvale
