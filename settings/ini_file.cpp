#include "settings/ini_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>

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

enum class FileState { Missing, Ok, Unusable };

// The file as one read found it.
struct Snapshot {
  FileState state = FileState::Missing;
  std::string target;  // the file itself, after the links we follow
  std::string text;    // without the byte-order mark
  bool byteOrderMark = false;
  mode_t mode = 0;
};

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

std::string nameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows the links at `path` that root or we own. nullopt for a link of
// another user, or a chain too long to be meant.
std::optional<std::string> fileBehind(const std::string& path) {
  constexpr int kMaxLinks = 16;
  std::string at = path;
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    struct stat info {};
    if (::lstat(at.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return at;
    if (info.st_uid != 0 && info.st_uid != ::geteuid()) return std::nullopt;
    std::string target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(at.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return std::nullopt;
    target.resize(static_cast<std::size_t>(n));
    at = target.front() == '/' ? target : folderOf(at) + target;
  }
  return std::nullopt;
}

// Reads the file in one go, without ever waiting: a FIFO, a device or a file
// beyond the size limit is not read at all.
Snapshot readSnapshot(const std::string& path) {
  Snapshot snap;
  const std::optional<std::string> target = fileBehind(path);
  if (!target) {
    snap.state = FileState::Unusable;
    return snap;
  }
  snap.target = *target;
  // No link is followed here: one put in place since fileBehind looked fails.
  const int fd = ::open(snap.target.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    snap.state = errno == ENOENT ? FileState::Missing : FileState::Unusable;
    return snap;
  }
  struct stat info {};
  snap.state = FileState::Unusable;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<std::uint64_t>(info.st_size) <= kMaxIniFileBytes) {
    // One byte more than the limit tells a file that grew meanwhile.
    std::string content(kMaxIniFileBytes + 1, '\0');
    std::size_t used = 0;
    bool failed = false;
    while (used < content.size()) {
      const ssize_t n = ::read(fd, content.data() + used, content.size() - used);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) failed = true;
      if (n <= 0) break;
      used += static_cast<std::size_t>(n);
    }
    if (!failed && used <= kMaxIniFileBytes) {
      content.resize(used);
      snap.byteOrderMark = std::string_view(content).starts_with(kByteOrderMark);
      if (snap.byteOrderMark) content.erase(0, kByteOrderMark.size());
      snap.text = std::move(content);
      snap.mode = info.st_mode & 07777;
      snap.state = FileState::Ok;
    }
  }
  ::close(fd);
  return snap;
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

// Temporary files are "<name>.<pid>.tmp" beside the file: the process id
// tells the next start whether the file's writer still runs.
constexpr std::string_view kTemporarySuffix = ".tmp";

std::string temporaryName(const std::string& target, pid_t pid) {
  return target + "." + std::to_string(pid) + std::string(kTemporarySuffix);
}

// The process id in a temporary file name of `name`, or 0.
pid_t writerOf(std::string_view entry, std::string_view name) {
  if (!entry.starts_with(name) || !entry.ends_with(kTemporarySuffix)) return 0;
  entry.remove_prefix(name.size());
  entry.remove_suffix(kTemporarySuffix.size());
  if (entry.size() < 2 || entry.size() > 11 || entry.front() != '.') return 0;
  entry.remove_prefix(1);
  long long pid = 0;
  for (char c : entry) {
    if (c < '0' || c > '9') return 0;
    pid = pid * 10 + (c - '0');
  }
  return pid > 0 && pid <= INT32_MAX ? static_cast<pid_t>(pid) : 0;
}

// Our temporary file; removed unless it was renamed.
class TempFile {
 public:
  explicit TempFile(const std::string& target) : name_(temporaryName(target, ::getpid())) {
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    fd_ = ::open(name_.c_str(), flags, 0644);
    // Our process id is ours alone: a file already there under it is stale, or
    // someone's squatting; either way it goes.
    if (fd_ < 0 && errno == EEXIST && ::unlink(name_.c_str()) == 0)
      fd_ = ::open(name_.c_str(), flags, 0644);
    if (fd_ < 0) name_.clear();
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
  std::string name_;
  int fd_ = -1;
};

}  // namespace

std::optional<std::string> IniFile::read(std::string_view section, std::string_view key) const {
  const Snapshot snap = readSnapshot(path_);
  if (snap.state != FileState::Ok) return std::nullopt;
  return readProfileString(snap.text, section, key);
}

std::string IniFile::readAll() const {
  Snapshot snap = readSnapshot(path_);
  return snap.state == FileState::Ok ? std::move(snap.text) : std::string();
}

void IniFile::write(std::string_view section, std::string_view key, std::string_view value) const {
  update([&](std::string text) { return writeProfileString(text, section, key, value); });
}

void IniFile::update(const std::function<std::string(std::string)>& change) const {
  Snapshot snap = readSnapshot(path_);
  // What we cannot read in full we would lose; a file without any write bit
  // was made read-only on purpose.
  if (snap.state == FileState::Unusable) throw SettingsWriteError(path_);
  if (snap.state == FileState::Ok && (snap.mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
    throw SettingsWriteError(path_);

  std::string updated = change(std::move(snap.text));
  if (snap.byteOrderMark) updated.insert(0, kByteOrderMark);

  TempFile temp(snap.target);
  if (temp.fd() < 0) throw SettingsWriteError(path_);
  // Replaced by renaming, the file takes the writer's ownership; its mode is
  // given explicitly, readable by all whatever the umask, so the next user's
  // save can read what this one wrote.
  const mode_t mode = snap.state == FileState::Ok ? ((snap.mode & 0777) | 0444) : 0644;
  if (::fchmod(temp.fd(), mode) != 0 || !writeAll(temp.fd(), updated) || ::fsync(temp.fd()) != 0 ||
      !temp.close())
    throw SettingsWriteError(path_);
  if (::rename(temp.name().c_str(), snap.target.c_str()) != 0) throw SettingsWriteError(path_);
  temp.release();

  // Make the rename itself durable; some file systems refuse, which is harmless.
  const int folder = ::open(folderOf(snap.target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    if (::fsync(folder) != 0) {
    }
    ::close(folder);
  }
}

void IniFile::removeStaleTemporaryFiles() const {
  const std::optional<std::string> target = fileBehind(path_);
  if (!target) return;
  DIR* folder = ::opendir(folderOf(*target).c_str());
  if (folder == nullptr) return;
  const std::string name = nameOf(*target);
  while (const dirent* entry = ::readdir(folder)) {
    const pid_t writer = writerOf(entry->d_name, name);
    // kill() with no signal fails with ESRCH only when no such process runs;
    // another user's running meter gives EPERM and keeps its file.
    if (writer != 0 && writer != ::getpid() && ::kill(writer, 0) != 0 && errno == ESRCH)
      ::unlinkat(::dirfd(folder), entry->d_name, 0);
  }
  ::closedir(folder);
}

}  // namespace tarnvale
