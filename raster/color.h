#pragma once

#include <cstdint>
#include <functional>

namespace tarnvale {

// 0xAARRGGBB. Stored little-endian, so a pixel's bytes are blue, green, red, alpha.
using TColor32 = std::uint32_t;

// The window system's 0x00BBGGRR (red in the low byte). A negative value names
// a system colour whose index is the low byte.
using TColor = std::int32_t;

// Gives the current 0x00BBGGRR value of a system colour index. The pure
// library knows no palette; the Qt side installs one (installPaletteSystemColors).
using SystemColorResolver = std::function<TColor(int index)>;

// Returns the resolver it replaces; an empty resolver resolves every system
// colour to black.
SystemColorResolver setSystemColorResolver(SystemColorResolver resolver);

// c itself when it is not a system colour, else its current value.
TColor resolveSystemColor(TColor c);

// Opaque 32-bit colour of c; system colours are resolved first.
TColor32 colorToArgb(TColor c);

// 0x00BBGGRR of a; its alpha is dropped.
TColor argbToColor(TColor32 a);

}  // namespace tarnvale
