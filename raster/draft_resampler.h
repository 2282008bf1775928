#pragma once

#include <memory>

#include "raster/resampler.h"

namespace tarnvale {

// The display's resampler. Shrinking in both directions averages blocks of
// source pixels (16.16 fixed-point block boundaries, a truncated 8.24
// reciprocal of the pixel count); growing in either direction interpolates
// bilinearly with 8-bit weights. Both are exact integer arithmetic per pixel,
// with tables built once per call. UI thread only.
class TDraftResampler final : public TCustomResampler {
 public:
  TDraftResampler();
  ~TDraftResampler() override;
  const char* ClassName() const override { return "TDraftResampler"; }
  void Resample(const TargetPixels& Dst, const TRect& DstRect, const TRect& DstClip,
                const SourcePixels& Src, const TRect& SrcRect) const override;

 private:
  // The tables of the last call, kept while the rectangles and sizes stay:
  // the display is drawn at one size for every capture buffer.
  struct Tables;
  mutable std::unique_ptr<Tables> tables_;
  // Growing: those of the whole destination, used for the parts of it too.
  mutable std::unique_ptr<Tables> wholeTables_;
};

}  // namespace tarnvale
