#pragma once

#include "platform/application.h"

namespace tarnvale {

inline constexpr const char* kInputDeviceNotFoundStart = "Input device  \"";
inline constexpr const char* kInputDeviceNotFoundEnd =
    "\"  not found.\n\r\n\rThe default device will be used.";
inline constexpr const char* kHelpNotFound = "Help not found - ";
inline constexpr const char* kVuMeterErrorCaption = " VU Meter Error";

}  // namespace tarnvale
