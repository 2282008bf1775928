#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarnvale {

// The longest value a read returns, in characters (UTF-8 code points; a byte
// that is not part of a valid sequence counts as one character).
inline constexpr std::size_t kMaxValueChars = 2047;

inline constexpr const char* kUnableToWriteTo = "Unable to write to ";

// A write to the settings file failed; what() is "Unable to write to <path>".
class SettingsWriteError : public std::runtime_error {
 public:
  explicit SettingsWriteError(const std::string& path)
      : std::runtime_error(kUnableToWriteTo + path) {}
};

// Private-profile text, worked on in memory.
//
// A line "[Name]" (blanks around allowed) begins a section; "key=value" is an
// entry of the section above it. Names match without regard to ASCII letter
// case and lose the blanks around them. Any other line (blank, ";comment",
// text without "=", entries before the first header) is kept on write and
// ignored on read. Lines end in LF, CR/LF or a CR before the end of the text.
// When a section or key occurs twice, the first one is the one read and written.

// The value of `key` in `section`: blanks around it dropped, then one pair of
// enclosing double or single quotes, then cut to kMaxValueChars characters.
// nullopt when the section or key is missing.
std::optional<std::string> readProfileString(std::string_view content, std::string_view section,
                                             std::string_view key);

// `content` with `key` in `section` set to `value`: an existing entry is
// replaced where it stands; a new key follows the last entry of its section; a
// new section is added at the end. Every other line stays byte for byte. CR and
// LF in the value become blanks, since they would start new lines.
// Throws std::invalid_argument for names that could never be read back: an
// empty name, a section name holding "]", a key holding "=" or starting with
// "[" or ";", or any name holding CR or LF.
std::string writeProfileString(std::string_view content, std::string_view section,
                               std::string_view key, std::string_view value);

// One INI file on disk. Nothing is held between calls: each read loads the
// file anew, each write replaces it whole.
class IniFile {
 public:
  explicit IniFile(std::string path) : path_(std::move(path)) {}

  const std::string& path() const { return path_; }

  // Missing or unreadable file: missing value.
  std::optional<std::string> read(std::string_view section, std::string_view key) const;

  // Writes a temporary file beside the file and renames it over the file, so
  // the file is either the old one or the new one, never half written. The
  // folder must exist. Throws SettingsWriteError; the old file is then untouched.
  void write(std::string_view section, std::string_view key, std::string_view value) const;

 private:
  std::string path_;
};

}  // namespace tarnvale
