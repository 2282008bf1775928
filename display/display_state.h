#pragma once

#include <cstdint>

namespace tarnvale {

// The skin's nominal size and the setup dialog's open flag, as every skin load
// leaves them. The nominal size equals the work bitmap's except right after a
// fallback to the default image.
struct DisplayState {
  std::int32_t imageWidth = 240;
  std::int32_t imageHeight = 600;
  bool setupDialogOpen = false;
};

}  // namespace tarnvale
