#include "raster/color.h"

#include <utility>

namespace tarnvale {
namespace {

SystemColorResolver& resolverSlot() {
  static SystemColorResolver resolver;
  return resolver;
}

}  // namespace

SystemColorResolver setSystemColorResolver(SystemColorResolver resolver) {
  return std::exchange(resolverSlot(), std::move(resolver));
}

TColor resolveSystemColor(TColor c) {
  if (c >= 0) return c;
  const auto& resolver = resolverSlot();
  if (!resolver) return 0;
  // A resolver can only give a plain colour back, never another system colour.
  return resolver(c & 0xFF) & 0x00FFFFFF;
}

TColor32 colorToArgb(TColor c) {
  const auto v = static_cast<std::uint32_t>(resolveSystemColor(c));
  const std::uint32_t red = v & 0xFF;
  const std::uint32_t green = (v >> 8) & 0xFF;
  const std::uint32_t blue = (v >> 16) & 0xFF;
  return 0xFF000000u | (red << 16) | (green << 8) | blue;
}

TColor argbToColor(TColor32 a) {
  const std::uint32_t red = (a >> 16) & 0xFF;
  const std::uint32_t green = (a >> 8) & 0xFF;
  const std::uint32_t blue = a & 0xFF;
  return static_cast<TColor>(red | (green << 8) | (blue << 16));
}

}  // namespace tarnvale
