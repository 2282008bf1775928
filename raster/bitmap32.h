#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "raster/color.h"
#include "raster/font.h"
#include "raster/rect.h"
#include "raster/resampler.h"

namespace tarnvale {

class JpegImage;

// How a bitmap is combined when it is the source of a Draw. Only opaque
// copying is used: every copy writes all four channels unchanged.
enum class TDrawMode { dmOpaque, dmBlend, dmCustom, dmTransparent };
enum class TCombineMode { cmBlend, cmMerge };

// A 32-bit off-screen bitmap: Width × Height TColor32 pixels, rows from the
// top, each row directly after the previous one. Empty (no pixel memory) while
// either side is 0. Every operation stays inside the bitmap: rectangles that
// reach past an edge are clipped, and nothing outside is ever written.
// UI thread only.
class TBitmap32 {
 public:
  // Called after an operation changed pixels or the size, with the changed
  // rectangle (inside the bitmap).
  using ChangeHandler = std::function<void(const TRect& area)>;

  TBitmap32();
  ~TBitmap32();
  TBitmap32(const TBitmap32&) = delete;
  TBitmap32& operator=(const TBitmap32&) = delete;
  TBitmap32(TBitmap32&&) noexcept;
  TBitmap32& operator=(TBitmap32&&) noexcept;

  // Negative sides count as 0. The same size keeps the pixels and notifies
  // nothing; any other size clears every pixel to 0x00000000.
  void SetSize(int NewWidth, int NewHeight);
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  TRect BoundsRect() const { return {0, 0, width_, height_}; }

  TColor32* Bits() { return pixels_.data(); }
  const TColor32* Bits() const { return pixels_.data(); }
  TColor32* ScanLine(int y) { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
  const TColor32* ScanLine(int y) const {
    return pixels_.data() + static_cast<std::size_t>(y) * width_;
  }

  // Sets [X1, X2) × [Y1, Y2) to Value, alpha included; nothing when X2 <= X1
  // or Y2 <= Y1. A rectangle that already holds only Value is left alone and
  // not notified.
  void FillRect(int X1, int Y1, int X2, int Y2, TColor32 Value);

  // Text in Font; needs a QGuiApplication. (X, Y) is the top-left of the
  // character cell; the background stays.
  TFont& Font() { return font_; }
  const TFont& Font() const { return font_; }
  void Textout(int X, int Y, const std::string& Text);
  int TextWidth(const std::string& Text) const;
  int TextHeight(const std::string& Text) const;

  // Copies the whole of Src with its top-left at (DstX, DstY).
  void Draw(int DstX, int DstY, const TBitmap32& Src);
  // Copies SrcRect of Src onto DstRect, resampled with Src's Resampler when
  // the sizes differ. A SrcRect not inside Src copies nothing.
  void Draw(const TRect& DstRect, const TRect& SrcRect, const TBitmap32& Src);
  // The same, writing only the destination pixels inside DstClip: each one
  // comes out as the whole Draw would give it.
  void Draw(const TRect& DstRect, const TRect& SrcRect, const TBitmap32& Src, const TRect& DstClip);

  // Loads a BMP file (any kind), or a JPEG file by its extension ("jpg",
  // "jpeg"). Raises RasterError naming the file when it cannot be opened or
  // read, is shorter than 54 bytes, ends before its pixel rows, cannot be
  // decoded or asks for a picture beyond the image limits; the bitmap is then
  // unchanged.
  void LoadFromFile(const std::string& FileName);
  // The same on a file's content; FileName names it and gives its extension.
  void LoadFromMemory(const std::uint8_t* Data, std::size_t Size, const std::string& FileName);
  // Takes over a decoded JPEG picture: its size, its colours, alpha 255.
  void Assign(const JpegImage& Image);

  TDrawMode DrawMode() const { return drawMode_; }
  void SetDrawMode(TDrawMode mode) { drawMode_ = mode; }
  TCombineMode CombineMode() const { return combineMode_; }
  void SetCombineMode(TCombineMode mode) { combineMode_ = mode; }

  // Used when this bitmap is the source of a stretched Draw. Setting another
  // bitmap's resampler shares that one object; an empty pointer gives a new
  // TNearestResampler.
  const std::shared_ptr<TCustomResampler>& Resampler() const { return resampler_; }
  void SetResampler(std::shared_ptr<TCustomResampler> resampler);

  void SetOnChange(ChangeHandler handler) { onChange_ = std::move(handler); }
  // Between BeginUpdate and its EndUpdate every change is still notified as
  // it happens; the end is then notified to OnEndUpdate, so that a display
  // can show a batch of changes in one repaint. Nested pairs count.
  void BeginUpdate() { ++updateDepth_; }
  void EndUpdate();
  bool Updating() const { return updateDepth_ > 0; }
  void SetOnEndUpdate(std::function<void()> handler) { onEndUpdate_ = std::move(handler); }
  // Counts the change notifications so far: whoever keeps a copy of the
  // pixels can tell whether anything else has written since.
  std::uint64_t ChangeCount() const { return changeCount_; }

 private:
  void changed(const TRect& area);
  bool holdsOnly(const TRect& r, TColor32 value) const;
  void adopt(int width, int height, std::vector<TColor32> pixels);
  void copyRect(const TRect& dst, const TBitmap32& src, int srcLeft, int srcTop);

  int width_ = 0;
  int height_ = 0;
  std::vector<TColor32> pixels_;
  TDrawMode drawMode_ = TDrawMode::dmOpaque;
  TCombineMode combineMode_ = TCombineMode::cmBlend;
  std::shared_ptr<TCustomResampler> resampler_;
  TFont font_;
  ChangeHandler onChange_;
  std::uint64_t changeCount_ = 0;
  int updateDepth_ = 0;
  std::function<void()> onEndUpdate_;
};

}  // namespace tarnvale
