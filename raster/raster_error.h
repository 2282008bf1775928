#pragma once

#include <stdexcept>
#include <string>

namespace tarnvale {

// A raster operation that failed: an image file that could not be opened, read
// or decoded. The message names the file.
class RasterError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace tarnvale
