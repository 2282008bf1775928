#pragma once

#include "platform/application.h"

namespace tarnvale {

// Messages of the capture cycle and of start-up's device lookup, exactly as
// shown. Two captions exist: with and without a leading blank.
inline constexpr const char* kCaptureErrorCaption = " Tarnvale Error";
inline constexpr const char* kPlainErrorCaption = "Tarnvale Error";

inline constexpr const char* kNoInputDeviceMessage =
    "No sound input device found.\n\r\n\rThe program will close.";
inline constexpr const char* kWaveFormatErrorMessage =
    "Wave Format Error. Your soundcard may not be suitable for this program or there may be a "
    "hardware problem.";
inline constexpr const char* kSoundcardNotAvailableMessage =
    "Soundcard not available, or input channel may be in use by another program.";
inline constexpr const char* kPrepareErrorMessage = "InPrepare error";
inline constexpr const char* kAddBufferErrorMessage = "Add buffer error";
inline constexpr const char* kStartErrorMessage = "Start error";
inline constexpr const char* kUnprepareErrorMessage = "In-UnPrepare error";
inline constexpr const char* kAddBufferError2Message = "Add buffer error 2";
inline constexpr const char* kDeviceResetMessage =
    "The configured Input Device is not available and will be reset to the default.";

}  // namespace tarnvale
