#pragma once

#include <cstdint>
#include <string>

#include "display/display_host.h"
#include "display/display_state.h"
#include "platform/ui.h"
#include "raster/bitmap32.h"
#include "settings/meter_settings.h"

namespace tarnvale {

// What composing the display reads and writes. The skin load sets
// settings.graphicPath, settings.vertical and (after a fallback)
// settings.sizePercent; dataFolder ends with "/".
struct SkinContext {
  TBitmap32& workBitmap;
  MeterSettings& settings;
  DisplayState& displayState;
  std::string dataFolder;
  Ui& ui;
  DisplayHost& host;
};

// Full redraw: the configured skin (or the default when its file is gone)
// loaded afresh, then the label. Reloading is what clears everything drawn.
void redrawDisplay(const SkinContext& context);

// Loads one skin file into the work bitmap and takes the nominal size and the
// bar orientation from it, then sizes the display. A path that contains
// ".JPG" in any case is decoded as JPEG. Failures are reported and fall back
// to the default skin; a default skin that is missing, or cannot be used
// while another skin is configured, ends the process after its message. A
// skin too large to show at sizePercent (kMaxSkinMemoryBytes), or for which
// memory runs out anywhere on the way, fails like a file that cannot be read.
void loadSkin(const SkinContext& context, std::string path);

// Reports a failed load and falls back to the default skin.
void skinLoadFailed(const SkinContext& context);

// Sets the window caption and writes shortName centred at the top of the work
// bitmap, on a black box while the setup dialog is open.
void drawLabel(const SkinContext& context);

// Sizes the display control, its bitmap and the window's client area from the
// nominal size and sizePercent. With a border the two rightmost columns of the
// display are hidden. A size that would take more than kMaxSkinMemoryBytes, or
// for which memory runs out, leaves the display as it was.
void applyDisplaySize(const SkinContext& context);

// The memory a skin takes once shown, in bytes: the work bitmap and the copy
// the display update keeps of it, and at the display size the display
// control's bitmap, its copy of what it shows and the window's backing store,
// all of 32-bit pixels.
std::int64_t skinMemoryBytes(std::int64_t imageWidth, std::int64_t imageHeight,
                             std::int64_t sizePercent);
// A skin that would take more is refused like a file that cannot be read:
// 512 MiB is a picture larger than a 4K screen shown at 200 %.
inline constexpr std::int64_t kMaxSkinMemoryBytes = std::int64_t{512} << 20;

// True when the path, upper-cased, contains ".JPG" anywhere.
bool isJpegSkinPath(const std::string& path);

}  // namespace tarnvale
