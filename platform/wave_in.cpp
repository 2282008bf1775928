#include "platform/wave_in.h"

namespace tarnvale {

bool isStereo16Pcm(const WaveFormat& format) {
  return format.formatTag == 1 && format.channels == 2 && format.bitsPerSample == 16 &&
         format.blockAlign == 4 && format.extraSize == 0 && format.samplesPerSec > 0 &&
         static_cast<std::uint64_t>(format.avgBytesPerSec) ==
             static_cast<std::uint64_t>(format.samplesPerSec) * 4;
}

std::string clipDeviceName(std::string_view name) {
  // A code point starts at every byte that is not a continuation byte (10xxxxxx).
  std::size_t count = 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    if ((byte & 0xC0) != 0x80 && ++count > WaveIn::kMaxNameLength) {
      return std::string(name.substr(0, i));
    }
  }
  return std::string(name);
}

}  // namespace tarnvale
