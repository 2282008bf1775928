#include "raster/bmp_rle.h"

namespace tarnvale {
namespace {

// Writes pixels at the stream's position; rows count from the bottom.
class RleCanvas {
 public:
  RleCanvas(int width, int height, const std::vector<TColor32>& palette,
            std::vector<TColor32>& pixels)
      : width_(width), height_(height), palette_(palette), pixels_(pixels) {}

  void put(unsigned index) {
    if (x_ < width_ && y_ < height_) {
      const std::size_t row = static_cast<std::size_t>(height_ - 1 - y_);
      pixels_[row * width_ + x_] = index < palette_.size() ? palette_[index] : 0;
    }
    ++x_;
  }
  void endLine() {
    x_ = 0;
    ++y_;
  }
  void move(int dx, int dy) {
    x_ += dx;
    y_ += dy;
  }
  bool done() const { return y_ >= height_; }
  bool onLastRow() const { return y_ >= height_ - 1; }

 private:
  long long x_ = 0;
  long long y_ = 0;
  const long long width_;
  const long long height_;
  const std::vector<TColor32>& palette_;
  std::vector<TColor32>& pixels_;
};

}  // namespace

RleResult decodeRle(const std::uint8_t* data, std::size_t size, int bitCount, int width, int height,
                    const std::vector<TColor32>& palette, std::vector<TColor32>& pixels) {
  RleCanvas canvas(width, height, palette, pixels);
  const bool four = bitCount == 4;
  std::size_t at = 0;
  auto left = [&](std::size_t n) { return size - at >= n; };
  // Data that ends on the last row is a picture without its end mark.
  auto ended = [&] { return canvas.onLastRow() ? RleResult::complete : RleResult::truncated; };
  while (!canvas.done()) {
    if (!left(2)) return ended();
    const unsigned count = data[at], value = data[at + 1];
    at += 2;
    if (count > 0) {
      // A run: one index, or two alternating ones in 4 bits.
      for (unsigned i = 0; i < count; ++i)
        canvas.put(four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
      continue;
    }
    switch (value) {
      case 0:
        canvas.endLine();
        break;
      case 1:
        return RleResult::complete;
      case 2:
        if (!left(2)) return ended();
        canvas.move(data[at], data[at + 1]);
        at += 2;
        break;
      default: {
        // value indices stored as they are, padded to a 16-bit boundary.
        const std::size_t bytes = four ? (value + 1) / 2 : value;
        if (!left(bytes)) return ended();
        for (unsigned i = 0; i < value; ++i)
          canvas.put(four ? (i % 2 == 0 ? data[at + i / 2] >> 4 : data[at + i / 2] & 0x0F)
                          : data[at + i]);
        at += bytes + bytes % 2;
        if (at > size) at = size;
        break;
      }
    }
  }
  return RleResult::complete;
}

}  // namespace tarnvale
