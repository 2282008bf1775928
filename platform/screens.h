#pragma once

#include <vector>

namespace tarnvale {

// A monitor's work area (the desktop less its panels) in virtual-screen
// pixels, half-open: [left, right) × [top, bottom).
struct WorkArea {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const WorkArea&) const = default;
};

class Screens {
 public:
  virtual ~Screens() = default;
  // Every monitor's work area, in the platform's order.
  virtual std::vector<WorkArea> workAreas() const = 0;
};

}  // namespace tarnvale
