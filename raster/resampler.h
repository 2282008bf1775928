#pragma once

#include <cstdint>

#include "raster/color.h"
#include "raster/rect.h"

namespace tarnvale {

// Pixels as a resampler sees them: Width × Height values, row by row from the
// top, each row directly after the previous one.
struct SourcePixels {
  const TColor32* Bits = nullptr;
  int Width = 0;
  int Height = 0;
};
struct TargetPixels {
  TColor32* Bits = nullptr;
  int Width = 0;
  int Height = 0;
};

// Fills a destination rectangle from a source rectangle of another size.
class TCustomResampler {
 public:
  virtual ~TCustomResampler() = default;
  virtual const char* ClassName() const = 0;

  // Maps SrcRect onto DstRect and writes the destination pixels inside
  // DstClip only. The bitmap guarantees: SrcRect is non-empty and inside the
  // source, DstRect is non-empty and differs from SrcRect in size, DstClip is
  // non-empty and lies inside both DstRect and the destination, and source and
  // destination do not share memory.
  virtual void Resample(const TargetPixels& Dst, const TRect& DstRect, const TRect& DstClip,
                        const SourcePixels& Src, const TRect& SrcRect) const = 0;
};

// A new bitmap's resampler: each destination pixel takes the source pixel
// under its centre.
class TNearestResampler final : public TCustomResampler {
 public:
  const char* ClassName() const override { return "TNearestResampler"; }
  void Resample(const TargetPixels& Dst, const TRect& DstRect, const TRect& DstClip,
                const SourcePixels& Src, const TRect& SrcRect) const override;
};

}  // namespace tarnvale
