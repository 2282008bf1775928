#pragma once

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
// while another skin is configured, ends the process after its message.
void loadSkin(const SkinContext& context, std::string path);

// Reports a failed load and falls back to the default skin.
void skinLoadFailed(const SkinContext& context);

// Sets the window caption and writes shortName centred at the top of the work
// bitmap, on a black box while the setup dialog is open.
void drawLabel(const SkinContext& context);

// Sizes the display control, its bitmap and the window's client area from the
// nominal size and sizePercent. With a border the two rightmost columns of the
// display are hidden.
void applyDisplaySize(const SkinContext& context);

// True when the path, upper-cased, contains ".JPG" anywhere.
bool isJpegSkinPath(const std::string& path);

}  // namespace tarnvale
