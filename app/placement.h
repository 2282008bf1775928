#pragma once

#include <vector>

#include "platform/screens.h"

namespace tarnvale {

struct WindowPlace {
  int left = 0, top = 0;
  bool operator==(const WindowPlace&) const = default;
};

// Where the meter window goes when it becomes active: at the stored position
// if that lies strictly inside a work area both ways; otherwise its left edge
// goes to 0, and its top to the top of the work area of the last monitor that
// passed the horizontal check.
WindowPlace placeWindow(int windowLeft, int windowTop, int outerWidth, int outerHeight,
                        const std::vector<WorkArea>& areas);

}  // namespace tarnvale
