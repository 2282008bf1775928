#pragma once

#include <cstddef>
#include <functional>
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

// The longest settings file read, in bytes. A full file is a few KiB; anything
// far larger is not ours, and reading it whole would hold up the start.
inline constexpr std::size_t kMaxIniFileBytes = std::size_t{1} << 20;

// The UTF-8 byte-order mark some editors put at the start of a text file.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// One INI file on disk, shared by every user of the machine. Nothing is held
// between calls: each read loads the file anew, each write replaces it whole.
//
// The path may be a symbolic link (the data folder's settings file is one):
// links owned by root or by us are followed and the file they lead to is
// read and replaced, so the link stays. A link owned by another user is not
// followed, since it could lead to a file of ours that a save would replace.
//
// A file that is not a regular file (a FIFO, a device, a folder), cannot be
// read, is larger than kMaxIniFileBytes or is such a foreign link reads as
// missing, at once, and is never replaced: a write throws instead, so nothing
// of it is lost. A leading byte-order mark is read as if absent and kept.
class IniFile {
 public:
  explicit IniFile(std::string path) : path_(std::move(path)) {}

  const std::string& path() const { return path_; }

  // Missing or unusable file: missing value.
  std::optional<std::string> read(std::string_view section, std::string_view key) const;
  // The whole text, without a byte-order mark; empty for a missing or
  // unusable file.
  std::string readAll() const;

  // One key: update() with that single change.
  void write(std::string_view section, std::string_view key, std::string_view value) const;

  // Reads the file once, hands its text to `change` and replaces the file with
  // the result in one step: a temporary file beside it, written and flushed,
  // renamed over it. Killed at any moment, the file is the old one or the new
  // one; a temporary file left by a killed process is removed by the next
  // removeStaleTemporaryFiles(). The folder must exist and be writable; a file
  // without any write bit is left alone. The new file is readable by all, so
  // that whoever saves next can read it. Throws SettingsWriteError with the
  // path as given; the old file is then untouched.
  void update(const std::function<std::string(std::string)>& change) const;

  // Removes temporary files that processes which no longer run left beside
  // the file (killed while saving). Never fails.
  void removeStaleTemporaryFiles() const;

 private:
  std::string path_;
};

}  // namespace tarnvale
