// Fuzzes the private-profile text layer and the settings file's reader.
//
// Input: five length bytes (section, key, value, a second section and key to
// probe), then those names and the value, then the file's content.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/locale.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"

namespace {

using tarnvale::readProfileString;
using tarnvale::writeProfileString;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool sameName(std::string_view a, std::string_view b) {
  a = trim(a);
  b = trim(b);
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool hasLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

// Names the writer accepts: what it promises to be able to read back.
bool writableNames(std::string_view section, std::string_view key) {
  section = trim(section);
  key = trim(key);
  if (section.empty() || section.find(']') != section.npos || hasLineBreak(section)) return false;
  if (key.empty() || key.front() == '[' || key.front() == ';') return false;
  return key.find('=') == key.npos && !hasLineBreak(key);
}

// A value that reads back exactly as written: nothing for the reader to drop.
bool readsBackVerbatim(std::string_view value) {
  if (value.size() > tarnvale::kMaxValueChars || hasLineBreak(value)) return false;
  if (!value.empty() && (isBlank(value.front()) || isBlank(value.back()))) return false;
  const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                      value.back() == value.front();
  return !quoted;
}

// The whole settings file: whatever it holds loads, and a full save over it
// reads back with the saved numbers and the window state.
void checkSettingsFile(std::string_view content) {
  const tarnvale::FixedLocale locale(".");
  if (content.starts_with(tarnvale::kByteOrderMark)) content.remove_prefix(3);
  tarnvale::MeterSettings loaded;
  tarnvale::readSettings(loaded, content, "/data/", locale);
  if (loaded.sizePercent < 20 || loaded.sizePercent > 200) fail("size outside 20..200");
  if (loaded.avgRingLength < 1 || loaded.avgRingLength > 1000) fail("ring length outside 1..1000");

  tarnvale::MeterSettings saved = loaded;
  const std::string text = tarnvale::applyEntries(
      std::string(content), tarnvale::fullSaveEntries(saved, locale, {-7, 9}, saved.locked));
  tarnvale::MeterSettings again;
  tarnvale::readSettings(again, text, "/data/", locale);
  if (again.windowLeft != -7 || again.windowTop != 9) fail("window position lost");
  if (again.topColor != saved.topColor || again.peakColor != saved.peakColor ||
      again.sizePercent != saved.sizePercent || again.sampleRate != saved.sampleRate ||
      again.labelFont.size != saved.labelFont.size || again.locked != saved.locked ||
      again.avgRingLength != saved.avgRingLength)
    fail("saved numbers read back changed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const std::size_t lengths[] = {data[0] % 16u, data[1] % 16u, data[2], data[3] % 16u,
                                 data[4] % 16u};
  std::string_view rest(reinterpret_cast<const char*>(data) + 5, size - 5);
  std::string_view parts[5];
  for (std::size_t i = 0; i < 5; ++i) {
    const std::size_t n = std::min(lengths[i], rest.size());
    parts[i] = rest.substr(0, n);
    rest.remove_prefix(n);
  }
  const auto [section, key, value, probeSection, probeKey] = parts;
  const std::string_view content = rest;
  checkSettingsFile(content);

  const std::optional<std::string> before = readProfileString(content, section, key);
  if (before && before->size() > 4 * tarnvale::kMaxValueChars) fail("read longer than allowed");
  const std::optional<std::string> probeBefore = readProfileString(content, probeSection, probeKey);

  std::string written;
  try {
    written = writeProfileString(content, section, key, value);
  } catch (const std::invalid_argument&) {
    if (writableNames(section, key)) fail("usable names refused");
    return 0;
  }
  if (!writableNames(section, key)) fail("unusable names accepted");

  const std::optional<std::string> after = readProfileString(written, section, key);
  if (!after) fail("written key not found");
  if (readsBackVerbatim(value) && *after != value) fail("written value reads back changed");
  if (writeProfileString(written, section, key, value) != written) fail("second write differs");

  if (!(sameName(probeSection, section) && sameName(probeKey, key)) &&
      readProfileString(written, probeSection, probeKey) != probeBefore)
    fail("another entry changed");
  return 0;
}
