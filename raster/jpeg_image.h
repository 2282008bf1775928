#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tarnvale {

// A JPEG picture decoded at full size into 24-bit colour with the decoder's
// default parameters (accurate integer inverse transform); grayscale pictures
// come out as gray RGB. A bitmap takes it over with TBitmap32::Assign.
class JpegImage {
 public:
  // Raise RasterError naming the file when it cannot be read or decoded, or
  // asks for a larger picture than any we accept; the image is then unchanged.
  void LoadFromFile(const std::string& FileName);
  void LoadFromMemory(const std::uint8_t* Data, std::size_t Size, const std::string& FileName);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  // Width × Height pixels of red, green, blue; rows from the top, no padding.
  const std::uint8_t* Rgb() const { return rgb_.get(); }

 private:
  int width_ = 0;
  int height_ = 0;
  std::unique_ptr<std::uint8_t[]> rgb_;
};

}  // namespace tarnvale
