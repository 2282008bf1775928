#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnvale {

// The whole content of an image file. Raises RasterError, naming the file,
// when it cannot be opened or read, or is larger than any image we accept.
std::vector<std::uint8_t> readFileBytes(const std::string& fileName);

// "<what> <fileName>: <reason>", the form of every loading error.
std::string loadErrorText(const std::string& fileName, const std::string& reason);
// Reasons that more than one loader gives.
inline constexpr const char* kFileTooLarge = "the file is too large";
inline constexpr const char* kPictureTooLarge = "the picture is too large";

}  // namespace tarnvale
