#include "display/skin.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <new>
#include <system_error>

#include "display/clipped_drawing.h"
#include "display/skin_texts.h"
#include "platform/application.h"
#include "platform/data_folder.h"
#include "platform/process.h"
#include "raster/jpeg_image.h"

namespace tarnvale {

namespace {

constexpr int kLabelTopVertical = 8;
constexpr int kLabelTopHorizontal = 10;
constexpr int kLabelBoxMargin = 6;
constexpr TColor32 kLabelBoxColour = 0x00000000;
// The nominal size recorded after a fallback to the default skin, whatever
// size the default image has.
constexpr std::int32_t kFallbackWidth = 150;
constexpr std::int32_t kFallbackHeight = 600;

// What a failed load leads to: the usual fallback to the default skin, or,
// while that fallback itself is loading, the end of the program. Without the
// second, an unusable default skin would fall back to itself for ever.
enum class OnLoadFailure { fallBackToDefault, endProgram };

bool fileExists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_regular_file(path, ignored);
}

void showSkinError(const SkinContext& context, const std::string& text) {
  context.ui.showMessage(text, kLevelMeterErrorCaption);
}

std::string skinMessage(const char* start, const std::string& graphicPath) {
  return start + graphicPath + kSkinMessageSeparator + kDefaultSkinWillBeUsed;
}

[[noreturn]] void defaultSkinMissing(const SkinContext& context) {
  showSkinError(context, kDefaultSkinMissingStart + context.dataFolder + kDefaultSkinMissingEnd +
                             kSkinMessageSeparator + kProgramWillClose);
  endProcess();
}

// The picture of a skin file into the work bitmap; false on any failure, a
// picture too large to be shown at the display size or memory running out
// included, which leaves the bitmap as it was.
bool readSkinFile(const SkinContext& context, const std::string& path) {
  try {
    TBitmap32 picture;
    if (isJpegSkinPath(path)) {
      JpegImage jpeg;
      jpeg.LoadFromFile(path);
      picture.Assign(jpeg);
    } else {
      picture.LoadFromFile(path);
    }
    if (skinMemoryBytes(picture.Width(), picture.Height(), context.settings.sizePercent) >
        kMaxSkinMemoryBytes)
      return false;
    context.workBitmap.SetSize(picture.Width(), picture.Height());
    context.workBitmap.Draw(0, 0, picture);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// The nominal size and orientation from what the work bitmap holds.
void takeSkinSize(const SkinContext& context, const std::string& path) {
  context.settings.graphicPath = path;
  context.displayState.imageWidth = context.workBitmap.Width();
  context.displayState.imageHeight = context.workBitmap.Height();
  context.settings.vertical = context.displayState.imageWidth < context.displayState.imageHeight;
}

// applyDisplaySize that tells whether the display could take its size: not
// when it would need more memory than a skin may have, or memory ran out.
bool sizeDisplay(const SkinContext& context) {
  const MeterSettings& settings = context.settings;
  const DisplayState& state = context.displayState;
  if (skinMemoryBytes(state.imageWidth, state.imageHeight, settings.sizePercent) >
      kMaxSkinMemoryBytes)
    return false;
  // sizePercent is held within 20..200 and images within 16384 pixels a side,
  // so the sizes fit an int; the products are taken wide all the same.
  const auto scaled = [&](std::int32_t side) {
    return static_cast<int>(std::int64_t{side} * settings.sizePercent / 100);
  };
  const int w = scaled(state.imageWidth);
  const int h = scaled(state.imageHeight);
  try {
    context.host.setDisplaySize(w, h);
  } catch (const std::bad_alloc&) {
    return false;
  }
  // With a border the window hides the display's two rightmost columns; an
  // empty display (no skin could be read) gives an empty client area.
  context.host.setClientSize(settings.borderless ? w : std::max(w - 2, 0), h);
  return true;
}

void loadSkinFile(const SkinContext& context, const std::string& path, OnLoadFailure onFailure) {
  const auto failed = [&] {
    if (onFailure == OnLoadFailure::endProgram) defaultSkinMissing(context);
    skinLoadFailed(context);
  };
  if (!fileExists(path)) {
    failed();
    return;
  }
  // A failure falls back but goes on with whatever the bitmap holds.
  const bool read = readSkinFile(context, path);
  if (!read) failed();
  takeSkinSize(context, path);
  if (sizeDisplay(context)) return;
  // The skin read but the display could not take its size: memory ran out.
  // That skin is as unusable as one that cannot be read.
  if (read) {
    failed();
    takeSkinSize(context, path);
    if (sizeDisplay(context)) return;
  }
  // Not even the default skin could be shown: an empty display.
  context.workBitmap.SetSize(0, 0);
  takeSkinSize(context, path);
  sizeDisplay(context);
}

}  // namespace

bool isJpegSkinPath(const std::string& path) {
  std::string upper = path;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; });
  return upper.find(".JPG") != std::string::npos;
}

void redrawDisplay(const SkinContext& context) {
  MeterSettings& settings = context.settings;
  if (!fileExists(settings.graphicPath)) {
    showSkinError(context, skinMessage(kSkinMissingStart, settings.graphicPath));
    settings.graphicPath = defaultSkinPath(context.dataFolder);
  }
  loadSkin(context, settings.graphicPath);
  drawLabel(context);
}

void loadSkin(const SkinContext& context, std::string path) {
  // `path` is a copy: it may be graphicPath itself, which a fallback changes
  // before the failed path is recorded again.
  loadSkinFile(context, path, OnLoadFailure::fallBackToDefault);
}

void skinLoadFailed(const SkinContext& context) {
  MeterSettings& settings = context.settings;
  showSkinError(context, skinMessage(kSkinUnusableStart, settings.graphicPath));
  const std::string defaultPath = defaultSkinPath(context.dataFolder);
  if (settings.graphicPath == defaultPath) return;
  if (!fileExists(defaultPath)) defaultSkinMissing(context);

  loadSkinFile(context, defaultPath, OnLoadFailure::endProgram);
  settings.graphicPath = defaultPath;
  settings.sizePercent = 100;
  context.displayState.imageWidth = kFallbackWidth;
  context.displayState.imageHeight = kFallbackHeight;
  settings.vertical = true;
}

void drawLabel(const SkinContext& context) {
  const MeterSettings& settings = context.settings;
  TBitmap32& bitmap = context.workBitmap;
  context.host.setCaption(settings.shortName.empty() ? std::string(kApplicationTitle)
                                                     : settings.shortName);

  TFont& font = bitmap.Font();
  font.Name = settings.labelFont.name;
  font.Size = settings.labelFont.size;
  font.Style = TFontStyles::fromBits(settings.labelFont.style);
  font.Color = settings.labelFont.color;

  const std::int64_t w = bitmap.TextWidth(settings.shortName);
  const std::int64_t h = bitmap.TextHeight(settings.shortName);
  const std::int64_t x = bitmap.Width() / 2 - w / 2;
  const std::int64_t y = settings.vertical ? kLabelTopVertical : kLabelTopHorizontal;
  if (context.displayState.setupDialogOpen)
    fillArea(bitmap, x - kLabelBoxMargin, y, x + w + kLabelBoxMargin, y + h, kLabelBoxColour);
  writeText(bitmap, x, y, settings.shortName);
}

void applyDisplaySize(const SkinContext& context) {
  // A size the display cannot take leaves it as it was; the full redraw that
  // follows every size change reports the skin and falls back.
  sizeDisplay(context);
}

std::int64_t skinMemoryBytes(std::int64_t imageWidth, std::int64_t imageHeight,
                             std::int64_t sizePercent) {
  const std::int64_t work = imageWidth * imageHeight;
  const std::int64_t shown = (imageWidth * sizePercent / 100) * (imageHeight * sizePercent / 100);
  return 4 * (2 * work + 3 * shown);
}

}  // namespace tarnvale
