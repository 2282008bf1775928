#include "platform/wave_in.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

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

namespace {

bool startsCodePoint(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
}

// Byte offsets where the code points of a UTF-8 text start.
std::vector<std::size_t> codePointStarts(std::string_view text) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (startsCodePoint(text[i])) starts.push_back(i);
  }
  return starts;
}

// At most `limit` code points: a longer text keeps its start and its end
// around an ellipsis.
std::string fitName(std::string_view text, std::size_t limit) {
  const std::vector<std::size_t> starts = codePointStarts(text);
  if (starts.size() <= limit) return std::string(text);
  const std::size_t tail = (limit - 1) / 3;
  const std::size_t head = limit - 1 - tail;
  return std::string(text.substr(0, starts[head])) + "\u2026" +
         std::string(text.substr(starts[starts.size() - tail]));
}

}  // namespace

std::vector<std::string> listedDeviceNames(const std::vector<DeviceLabel>& devices) {
  std::vector<std::string> names;
  names.reserve(devices.size());
  std::map<std::string, std::vector<std::size_t>> byName;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    names.push_back(fitName(devices[i].description, WaveIn::kMaxNameLength));
    byName[names.back()].push_back(i);
  }
  std::set<std::string> taken;
  for (const auto& [name, members] : byName) taken.insert(name);
  for (auto& [name, members] : byName) {
    if (members.size() < 2) continue;
    std::sort(members.begin(), members.end(), [&](std::size_t a, std::size_t b) {
      return std::tie(devices[a].key, a) < std::tie(devices[b].key, b);
    });
    int number = 2;
    for (std::size_t m = 1; m < members.size(); ++m) {
      std::string candidate;
      do {
        const std::string suffix = " #" + std::to_string(number++);
        candidate =
            fitName(devices[members[m]].description, WaveIn::kMaxNameLength - suffix.size()) +
            suffix;
      } while (taken.count(candidate) != 0);
      taken.insert(candidate);
      names[members[m]] = candidate;
    }
  }
  return names;
}

}  // namespace tarnvale
