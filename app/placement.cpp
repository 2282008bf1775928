#include "app/placement.h"

#include <cstdint>

namespace tarnvale {

WindowPlace placeWindow(int windowLeft, int windowTop, int outerWidth, int outerHeight,
                        const std::vector<WorkArea>& areas) {
  WindowPlace place{windowLeft, windowTop};
  // In 64 bits: a hand-edited position near the int limit must not wrap round.
  const auto reach = [](int edge, int size) {
    return static_cast<std::int64_t>(edge) + static_cast<std::int64_t>(size);
  };

  int remembered = -1;
  for (int i = 0; i < static_cast<int>(areas.size()); ++i) {
    const WorkArea& a = areas[static_cast<std::size_t>(i)];
    if (a.left < place.left && reach(place.left, outerWidth) < a.right) remembered = i;
  }
  if (remembered < 0) place.left = 0;

  bool fits = false;
  for (const WorkArea& a : areas) {
    if (a.top < place.top && reach(place.top, outerHeight) < a.bottom) fits = true;
  }
  if (!fits) {
    // With no monitor remembered (a window stored at a work area's very corner
    // fails both strict checks), the first monitor's work area is used.
    if (remembered >= 0) {
      place.top = areas[static_cast<std::size_t>(remembered)].top;
    } else if (!areas.empty()) {
      place.top = areas.front().top;
    }
  }
  return place;
}

}  // namespace tarnvale
