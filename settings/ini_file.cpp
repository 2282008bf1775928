#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <random>

namespace tarnvale {

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

char lowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  return true;
}

// Bytes of the UTF-8 sequence starting at `i`, or 1 when it is not a valid one.
std::size_t sequenceLength(std::string_view s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 1;
  }
  if (i + length > s.size()) return 1;
  if (byte(i + 1) < low || byte(i + 1) > high) return 1;
  for (std::size_t k = 2; k < length; ++k)
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 1;
  return length;
}

std::string_view firstChars(std::string_view s, std::size_t maxChars) {
  std::size_t i = 0;
  for (std::size_t count = 0; i < s.size() && count < maxChars; ++count) i += sequenceLength(s, i);
  return s.substr(0, i);
}

struct Line {
  std::size_t begin;    // first byte
  std::size_t textEnd;  // end of the text, before CR/LF
  std::size_t end;      // after the line's LF, or the end of the content
};

// Walks the content line by line without copying it.
class LineReader {
 public:
  explicit LineReader(std::string_view content) : content_(content) {}

  bool next(Line& line) {
    if (pos_ >= content_.size()) return false;
    line.begin = pos_;
    const std::size_t lf = content_.find('\n', pos_);
    line.end = lf == std::string_view::npos ? content_.size() : lf + 1;
    line.textEnd = lf == std::string_view::npos ? content_.size() : lf;
    if (line.textEnd > line.begin && content_[line.textEnd - 1] == '\r') --line.textEnd;
    pos_ = line.end;
    return true;
  }

 private:
  std::string_view content_;
  std::size_t pos_ = 0;
};

enum class LineKind { Other, Header, Entry };

struct Parsed {
  LineKind kind = LineKind::Other;
  std::string_view name;   // section or key, trimmed
  std::string_view value;  // entry value, untrimmed
};

Parsed parseLine(std::string_view text) {
  const std::string_view body = trim(text);
  if (body.empty() || body.front() == ';') return {};
  if (body.front() == '[') {
    // "[Form" without its bracket is neither a header nor an entry: ignored.
    const std::size_t close = body.find(']');
    if (close == std::string_view::npos) return {};
    return {LineKind::Header, trim(body.substr(1, close - 1)), {}};
  }
  const std::size_t eq = body.find('=');
  if (eq == std::string_view::npos) return {};
  const std::string_view key = trim(body.substr(0, eq));
  if (key.empty()) return {};
  return {LineKind::Entry, key, body.substr(eq + 1)};
}

std::string valueAsRead(std::string_view raw) {
  std::string_view value = trim(raw);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(firstChars(value, kMaxValueChars));
}

bool hasLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

std::optional<std::string> readProfileString(std::string_view content, std::string_view section,
                                             std::string_view key) {
  section = trim(section);
  key = trim(key);
  LineReader reader(content);
  Line line{};
  bool inSection = false;
  while (reader.next(line)) {
    const Parsed parsed = parseLine(content.substr(line.begin, line.textEnd - line.begin));
    if (parsed.kind == LineKind::Header) {
      if (inSection) return std::nullopt;  // only the first section of that name counts
      inSection = sameName(parsed.name, section);
    } else if (parsed.kind == LineKind::Entry && inSection && sameName(parsed.name, key)) {
      return valueAsRead(parsed.value);
    }
  }
  return std::nullopt;
}

std::string writeProfileString(std::string_view content, std::string_view section,
                               std::string_view key, std::string_view value) {
  section = trim(section);
  key = trim(key);
  if (section.empty() || section.find(']') != std::string_view::npos || hasLineBreak(section))
    throw std::invalid_argument("unusable section name");
  if (key.empty() || key.front() == '[' || key.front() == ';' ||
      key.find('=') != std::string_view::npos || hasLineBreak(key))
    throw std::invalid_argument("unusable key name");

  std::string clean(value);
  for (char& c : clean)
    if (c == '\r' || c == '\n') c = ' ';

  LineReader reader(content);
  Line line{};
  bool inSection = false;
  bool sectionFound = false;
  std::size_t insertAt = 0;  // end of the section's header or of its last entry
  while (reader.next(line)) {
    const Parsed parsed = parseLine(content.substr(line.begin, line.textEnd - line.begin));
    if (parsed.kind == LineKind::Header) {
      if (inSection) break;
      if (!sectionFound && sameName(parsed.name, section)) {
        inSection = sectionFound = true;
        insertAt = line.end;
      }
    } else if (parsed.kind == LineKind::Entry && inSection) {
      if (sameName(parsed.name, key)) {
        // The key keeps its spelling in the file; the line keeps its line end.
        std::string out(content.substr(0, line.begin));
        out.append(parsed.name).append("=").append(clean);
        out.append(content.substr(line.textEnd));
        return out;
      }
      insertAt = line.end;
    }
  }

  const std::string entry = std::string(key) + "=" + clean + "\n";
  if (sectionFound) {
    std::string out(content.substr(0, insertAt));
    if (insertAt > 0 && content[insertAt - 1] != '\n') out += '\n';
    out += entry;
    out.append(content.substr(insertAt));
    return out;
  }
  std::string out(content);
  if (!out.empty() && out.back() != '\n') out += '\n';
  out.append("[").append(section).append("]\n").append(entry);
  return out;
}

namespace {

enum class ReadResult { Ok, Missing, Failed };

ReadResult readWholeFile(const std::string& path, std::string& content, struct stat& info) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  ReadResult result = ReadResult::Ok;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    result = ReadResult::Failed;
  } else {
    // Read straight into the text; the size is a hint, the file may change meanwhile.
    std::size_t used = 0;
    content.resize(static_cast<std::size_t>(info.st_size) + 1);
    for (;;) {
      if (used == content.size()) content.resize(content.size() * 2);
      const ssize_t n = ::read(fd, content.data() + used, content.size() - used);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        result = ReadResult::Failed;
        break;
      }
      if (n == 0) break;
      used += static_cast<std::size_t>(n);
    }
    content.resize(used);
  }
  ::close(fd);
  return result;
}

// Root passes every access check, so for root a file that grants no write bit
// at all counts as read-only: the user made it so, and rename would replace it.
bool writableByUs(const std::string& path, const struct stat& info) {
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) return false;
  if (::geteuid() == 0 && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
  return true;
}

bool writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The temporary file beside the target; removed unless it was renamed.
class TempFile {
 public:
  explicit TempFile(const std::string& target) {
    static constexpr char kChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device entropy;
    std::mt19937_64 random((static_cast<std::uint64_t>(entropy()) << 32) ^ entropy() ^
                           static_cast<std::uint64_t>(::getpid()));
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
      std::string name = target + ".";
      for (int i = 0; i < 6; ++i) name += kChars[random() % (sizeof kChars - 1)];
      // 0666 under the umask: a new settings file is as shared as its folder.
      fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ >= 0)
        name_ = std::move(name);
      else if (errno != EEXIST)
        break;
    }
  }
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!name_.empty()) ::unlink(name_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  int fd() const { return fd_; }
  const std::string& name() const { return name_; }

  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }
  void release() { name_.clear(); }

 private:
  int fd_ = -1;
  std::string name_;
};

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

}  // namespace

std::optional<std::string> IniFile::read(std::string_view section, std::string_view key) const {
  std::string content;
  struct stat info {};
  if (readWholeFile(path_, content, info) != ReadResult::Ok) return std::nullopt;
  return readProfileString(content, section, key);
}

void IniFile::write(std::string_view section, std::string_view key, std::string_view value) const {
  std::string content;
  struct stat info {};
  const ReadResult existing = readWholeFile(path_, content, info);
  // A file we cannot read in full would lose its other entries.
  if (existing == ReadResult::Failed) throw SettingsWriteError(path_);
  if (existing == ReadResult::Ok && !writableByUs(path_, info)) throw SettingsWriteError(path_);

  const std::string updated = writeProfileString(content, section, key, value);

  TempFile temp(path_);
  if (temp.fd() < 0) throw SettingsWriteError(path_);
  if (existing == ReadResult::Ok) {
    // Keep owner and mode where we may; only root can give the file back to
    // its owner, and a failure there leaves a file that is still ours.
    if (::fchown(temp.fd(), info.st_uid, info.st_gid) != 0) {
    }
    if (::fchmod(temp.fd(), info.st_mode & 07777) != 0) throw SettingsWriteError(path_);
  }
  if (!writeAll(temp.fd(), updated) || ::fsync(temp.fd()) != 0 || !temp.close())
    throw SettingsWriteError(path_);
  if (::rename(temp.name().c_str(), path_.c_str()) != 0) throw SettingsWriteError(path_);
  temp.release();

  // Make the rename itself durable; some file systems refuse, which is harmless.
  const int folder = ::open(folderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    if (::fsync(folder) != 0) {
    }
    ::close(folder);
  }
}

}  // namespace tarnvale
