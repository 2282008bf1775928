#include "raster/bitmap32.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cwchar>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "raster/bmp_reader.h"
#include "raster/file_bytes.h"
#include "raster/jpeg_image.h"
#include "raster/raster_error.h"
#include "raster/text_renderer.h"

namespace tarnvale {
namespace {

// A rectangle given by 64-bit edges, cut to [0, width) × [0, height).
TRect clipped(long long left, long long top, long long right, long long bottom, int width,
              int height) {
  return {static_cast<int>(std::clamp<long long>(left, 0, width)),
          static_cast<int>(std::clamp<long long>(top, 0, height)),
          static_cast<int>(std::clamp<long long>(right, 0, width)),
          static_cast<int>(std::clamp<long long>(bottom, 0, height))};
}

// n copies of value. wmemset writes 32-bit units on this platform and the C
// library picks the widest stores the processor has.
static_assert(sizeof(wchar_t) == sizeof(TColor32), "wchar_t is the pixel's size");
void fillPixels(TColor32* to, std::size_t n, TColor32 value) {
  std::wmemset(reinterpret_cast<wchar_t*>(to), static_cast<wchar_t>(value), n);
}

// Lower-case extension after the last dot of the file name part, or "".
std::string extensionOf(const std::string& fileName) {
  const auto slash = fileName.find_last_of('/');
  const auto dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = fileName.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

}  // namespace

TBitmap32::TBitmap32() : resampler_(std::make_shared<TNearestResampler>()) {}
TBitmap32::~TBitmap32() = default;
TBitmap32::TBitmap32(TBitmap32&&) noexcept = default;
TBitmap32& TBitmap32::operator=(TBitmap32&&) noexcept = default;

void TBitmap32::changed(const TRect& area) {
  ++changeCount_;
  if (onChange_) onChange_(area);
}

void TBitmap32::EndUpdate() {
  if (updateDepth_ == 0) return;
  if (--updateDepth_ == 0 && onEndUpdate_) onEndUpdate_();
}

void TBitmap32::adopt(int width, int height, std::vector<TColor32> pixels) {
  width_ = width;
  height_ = height;
  pixels_ = std::move(pixels);
  changed(BoundsRect());
}

void TBitmap32::SetSize(int NewWidth, int NewHeight) {
  const int w = std::max(NewWidth, 0);
  const int h = std::max(NewHeight, 0);
  if (w == width_ && h == height_) return;
  std::vector<TColor32> fresh;
  if (w > 0 && h > 0) fresh.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
  adopt(w, h, std::move(fresh));
}

// Whether every pixel of r (inside the bitmap) already is value.
bool TBitmap32::holdsOnly(const TRect& r, TColor32 value) const {
  const auto w = static_cast<std::size_t>(r.width());
  for (int y = r.Top; y < r.Bottom; ++y) {
    const TColor32* row = ScanLine(y) + r.Left;
    std::size_t x = 0;
#if defined(__SSE2__)
    // Four pixels a step: this runs over every block of both bars per buffer.
    const __m128i four = _mm_set1_epi32(static_cast<int>(value));
    __m128i differs = _mm_setzero_si128();
    for (; x + 4 <= w; x += 4)
      differs = _mm_or_si128(
          differs, _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)), four));
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(differs, _mm_setzero_si128())) != 0xFFFF) return false;
#endif
    for (; x < w; ++x)
      if (row[x] != value) return false;
  }
  return true;
}

void TBitmap32::FillRect(int X1, int Y1, int X2, int Y2, TColor32 Value) {
  if (Empty() || X2 <= X1 || Y2 <= Y1) return;
  const TRect r = intersect({X1, Y1, X2, Y2}, BoundsRect());
  if (r.isEmpty()) return;
  // The bars are drawn again in full for every buffer, mostly in the colours
  // they already have: a fill that changes nothing writes and notifies nothing,
  // so that whoever follows the changes sees only real ones.
  if (holdsOnly(r, Value)) return;
  const auto w = static_cast<std::size_t>(r.width());
  if (w == static_cast<std::size_t>(width_))  // whole rows: one run
    fillPixels(ScanLine(r.Top), w * static_cast<std::size_t>(r.height()), Value);
  else
    for (int y = r.Top; y < r.Bottom; ++y) fillPixels(ScanLine(y) + r.Left, w, Value);
  changed(r);
}

void TBitmap32::Textout(int X, int Y, const std::string& Text) {
  if (Empty()) return;
  renderText({Bits(), width_, height_}, font_, X, Y, Text);
  const long long w = TextWidth(Text);
  const long long h = TextHeight(Text);
  const TRect area = clipped(X, Y, X + w + 1, Y + h + 1, width_, height_);
  if (!area.isEmpty()) changed(area);
}

int TBitmap32::TextWidth(const std::string& Text) const {
  return textAdvance(font_, Text);
}

int TBitmap32::TextHeight(const std::string&) const {
  return textCellHeight(font_);
}

// Copies rows of src starting at (srcLeft, srcTop) onto dst, which lies inside
// this bitmap and whose source lies inside src. Drawing a bitmap onto itself
// moves rows in an order that reads each before it is overwritten.
void TBitmap32::copyRect(const TRect& dst, const TBitmap32& src, int srcLeft, int srcTop) {
  const auto bytes = static_cast<std::size_t>(dst.width()) * sizeof(TColor32);
  const int rows = static_cast<int>(dst.height());
  if (dst.width() == width_ && src.width_ == width_ && srcLeft == 0) {
    // Whole rows of equally wide bitmaps lie in one run.
    std::memmove(ScanLine(dst.Top), src.ScanLine(srcTop), bytes * static_cast<std::size_t>(rows));
    return;
  }
  const bool upward = &src == this && dst.Top > srcTop;
  for (int k = 0; k < rows; ++k) {
    const int r = upward ? rows - 1 - k : k;
    std::memmove(ScanLine(dst.Top + r) + dst.Left, src.ScanLine(srcTop + r) + srcLeft, bytes);
  }
}

void TBitmap32::Draw(int DstX, int DstY, const TBitmap32& Src) {
  if (Src.Empty() || Empty()) return;
  const TRect r = clipped(DstX, DstY, static_cast<long long>(DstX) + Src.width_,
                          static_cast<long long>(DstY) + Src.height_, width_, height_);
  if (r.isEmpty()) return;
  copyRect(r, Src, r.Left - DstX, r.Top - DstY);
  changed(r);
}

void TBitmap32::Draw(const TRect& DstRect, const TRect& SrcRect, const TBitmap32& Src) {
  Draw(DstRect, SrcRect, Src, BoundsRect());
}

void TBitmap32::Draw(const TRect& DstRect, const TRect& SrcRect, const TBitmap32& Src,
                     const TRect& DstClip) {
  if (Src.Empty() || Empty() || SrcRect.isEmpty()) return;
  // Never read outside the source.
  if (!Src.BoundsRect().contains(SrcRect)) return;
  if (DstRect.isEmpty()) return;
  const TRect clip = intersect(intersect(DstRect, BoundsRect()), DstClip);
  if (clip.isEmpty()) return;

  if (DstRect.width() == SrcRect.width() && DstRect.height() == SrcRect.height()) {
    copyRect(clip, Src,
             static_cast<int>(SrcRect.Left + (clip.Left - static_cast<long long>(DstRect.Left))),
             static_cast<int>(SrcRect.Top + (clip.Top - static_cast<long long>(DstRect.Top))));
  } else {
    // The resampler reads the source while it writes; drawing a bitmap onto
    // itself resamples from a copy.
    std::vector<TColor32> ownCopy;
    const TColor32* srcBits = Src.Bits();
    if (&Src == this) {
      ownCopy = pixels_;
      srcBits = ownCopy.data();
    }
    Src.resampler_->Resample({Bits(), width_, height_}, DstRect, clip,
                             {srcBits, Src.width_, Src.height_}, SrcRect);
  }
  changed(clip);
}

void TBitmap32::LoadFromFile(const std::string& FileName) {
  const auto bytes = readFileBytes(FileName);
  LoadFromMemory(bytes.data(), bytes.size(), FileName);
}

void TBitmap32::LoadFromMemory(const std::uint8_t* Data, std::size_t Size,
                               const std::string& FileName) {
  if (Size < kBmpHeaderBytes)
    throw RasterError(loadErrorText(FileName, "the file is shorter than 54 bytes"));
  if (Data[0] == 'B' && Data[1] == 'M') {
    DecodedPixels decoded = readBmp(Data, Size, FileName);
    adopt(decoded.Width, decoded.Height, std::move(decoded.Pixels));
    return;
  }
  const std::string ext = extensionOf(FileName);
  if (ext == "jpg" || ext == "jpeg") {
    JpegImage jpeg;
    jpeg.LoadFromMemory(Data, Size, FileName);
    Assign(jpeg);
    return;
  }
  throw RasterError(loadErrorText(
      FileName, ext == "bmp" ? "the file is not a bitmap" : "no decoder for this kind of file"));
}

void TBitmap32::Assign(const JpegImage& Image) {
  // Sized, filled with opaque white, the picture drawn over it and every
  // alpha set to 255: as the picture covers the bitmap, each pixel is simply
  // its colour with alpha 255.
  const int w = Image.Empty() ? 0 : Image.Width();
  const int h = Image.Empty() ? 0 : Image.Height();
  std::vector<TColor32> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  const std::uint8_t* rgb = Image.Rgb();
  for (std::size_t i = 0; i < pixels.size(); ++i, rgb += 3)
    pixels[i] = 0xFF000000u | (TColor32{rgb[0]} << 16) | (TColor32{rgb[1]} << 8) | rgb[2];
  adopt(w, h, std::move(pixels));
}

void TBitmap32::SetResampler(std::shared_ptr<TCustomResampler> resampler) {
  resampler_ = resampler ? std::move(resampler) : std::make_shared<TNearestResampler>();
}

}  // namespace tarnvale
