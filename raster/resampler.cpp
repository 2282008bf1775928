#include "raster/resampler.h"

#include <vector>

namespace tarnvale {

void TNearestResampler::Resample(const TargetPixels& Dst, const TRect& DstRect,
                                 const TRect& DstClip, const SourcePixels& Src,
                                 const TRect& SrcRect) const {
  const long long sw = SrcRect.width(), sh = SrcRect.height();
  const long long dw = DstRect.width(), dh = DstRect.height();
  // Column of the centre of destination column i: floor((i + 1/2) × sw / dw).
  std::vector<int> columns(static_cast<std::size_t>(DstClip.width()));
  for (int x = DstClip.Left; x < DstClip.Right; ++x) {
    const long long i = x - static_cast<long long>(DstRect.Left);
    columns[static_cast<std::size_t>(x - DstClip.Left)] =
        SrcRect.Left + static_cast<int>((2 * i + 1) * sw / (2 * dw));
  }
  for (int y = DstClip.Top; y < DstClip.Bottom; ++y) {
    const long long j = y - static_cast<long long>(DstRect.Top);
    const long long sy = SrcRect.Top + (2 * j + 1) * sh / (2 * dh);
    const TColor32* srcRow = Src.Bits + sy * Src.Width;
    TColor32* dstRow = Dst.Bits + static_cast<long long>(y) * Dst.Width + DstClip.Left;
    for (std::size_t k = 0; k < columns.size(); ++k) dstRow[k] = srcRow[columns[k]];
  }
}

}  // namespace tarnvale
