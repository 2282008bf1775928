#pragma once

#include "platform/application.h"

namespace tarnvale {

inline constexpr const char* kSetupCaption = "Level Meter Setup";
inline constexpr const char* kVersionText = "Tarnvale 1.95";
inline constexpr const char* kWebAddress = "www.quillmoor.example/tarnvale";
inline constexpr const char* kWebPage = "https://www.quillmoor.example/tarnvale";
inline constexpr const char* kGraphicsPathPrefix = "Graphics path: ";

inline constexpr const char* kInvalidKeyTwice = "Invalid Key: twice ";
inline constexpr const char* kMinusAtBeginning = "Minus only allowed at beginning of number";

inline constexpr const char* kEntryErrorCaption = " Entry Error";
inline constexpr const char* kAverageInvalid = "Average time value is invalid. Please re-enter";
inline constexpr const char* kAverageOutOfRange =
    "Average time value is outside permitted range. Please re-enter";
inline constexpr const char* kResetInvalid = "Reset time value is invalid. Please re-enter";
inline constexpr const char* kResetOutOfRange =
    "Reset time value is outside permitted range. Please re-enter";

inline constexpr const char* kRateChangeMessage = " Sample Rate change requires a program restart";
inline constexpr const char* kWarningCaption = "Level Meter Warning";

inline constexpr const char* kModeChangeCaption = "Level Meter Mode Change";
inline constexpr const char* kDualChannelHint =
    "Choose an alternative skin to match dual channel display";
inline constexpr const char* kSingleChannelHint =
    "Choose an alternative skin to match single channel display";

inline constexpr const char* kSkinFileFilter =
    "Background Graphic (*.jpg; *.bmp)|*jpg;*bmp;*BMP;*JPG | Background Graphic (*.bmp)|*bmp;*BMP  "
    "| Background Graphic (*.jpg) | *jpg; *JPG";

inline constexpr const char* kDcQuestion =
    "Set DC Offset Correction? \r\n\n"
    "Both channels should be silent, then click Yes to set.                  \r\n\n"
    "Click No to reset to zero.                  \r\n\n"
    "Cancel for no change.\r\n";
inline constexpr const char* kConfirmCaption = "Confirm";

inline constexpr const char* kUnlockCaption = "Unlock Settings";
inline constexpr const char* kUnlockPrompt = "Enter password to unlock";
inline constexpr const char* kLockCaption = "LOCK Settings";
inline constexpr const char* kLockPrompt = "Enter password required to unlock";

}  // namespace tarnvale
