#pragma once

#include <string>

namespace tarnvale {

// The desktop shell: opens a document, a folder or a web page with whatever
// the user's desktop opens them with.
class Shell {
 public:
  virtual ~Shell() = default;
  // False when the document does not exist or nothing could open it.
  virtual bool openDocument(const std::string& path) = 0;
  virtual bool openWebPage(const std::string& url) = 0;
};

}  // namespace tarnvale
