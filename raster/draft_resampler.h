#pragma once

#include "raster/resampler.h"

namespace tarnvale {

// The display's resampler. Shrinking in both directions averages blocks of
// source pixels (16.16 fixed-point block boundaries, a truncated 8.24
// reciprocal of the pixel count); growing in either direction interpolates
// bilinearly with 8-bit weights. Both are exact integer arithmetic per pixel,
// with tables built once per call.
class TDraftResampler final : public TCustomResampler {
 public:
  const char* ClassName() const override { return "TDraftResampler"; }
  void Resample(const TargetPixels& Dst, const TRect& DstRect, const TRect& DstClip,
                const SourcePixels& Src, const TRect& SrcRect) const override;
};

}  // namespace tarnvale
