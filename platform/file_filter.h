#pragma once

#include <string>
#include <vector>

namespace tarnvale {

// One entry of a file-open filter: its description and its patterns.
struct FileFilterEntry {
  std::string description;
  std::vector<std::string> patterns;
  bool operator==(const FileFilterEntry&) const = default;
};

// Splits "description|pattern;pattern|description|pattern..." into its pairs;
// blanks around descriptions and patterns are dropped.
std::vector<FileFilterEntry> parseFileFilter(const std::string& filter);

// The same pairs as Qt's ";;"-separated name filters: "description (p1 p2)".
std::string qtNameFilters(const std::string& filter);

}  // namespace tarnvale
