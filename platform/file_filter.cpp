#include "platform/file_filter.h"

#include <cstddef>

namespace tarnvale {

namespace {

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const auto end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

}  // namespace

std::vector<FileFilterEntry> parseFileFilter(const std::string& filter) {
  const std::vector<std::string> parts = split(filter, '|');
  std::vector<FileFilterEntry> entries;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    FileFilterEntry entry{trimmed(parts[i]), {}};
    for (const std::string& pattern : split(parts[i + 1], ';')) {
      std::string p = trimmed(pattern);
      if (!p.empty()) entry.patterns.push_back(std::move(p));
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string qtNameFilters(const std::string& filter) {
  std::string out;
  for (const FileFilterEntry& entry : parseFileFilter(filter)) {
    if (!out.empty()) out += ";;";
    out += entry.description + " (";
    for (std::size_t i = 0; i < entry.patterns.size(); ++i) {
      if (i > 0) out += ' ';
      out += entry.patterns[i];
    }
    out += ')';
  }
  return out;
}

}  // namespace tarnvale
