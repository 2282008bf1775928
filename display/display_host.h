#pragma once

#include <string>

namespace tarnvale {

// The meter window as the display composition sees it. UI thread only.
class DisplayHost {
 public:
  virtual ~DisplayHost() = default;
  // The window's title.
  virtual void setCaption(const std::string& caption) = 0;
  // The display control Image1 and the size of its bitmap (SetSize).
  virtual void setDisplaySize(int width, int height) = 0;
  // The window's client area.
  virtual void setClientSize(int width, int height) = 0;
};

}  // namespace tarnvale
