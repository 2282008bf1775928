#include "raster/file_bytes.h"

#include <cstdio>
#include <memory>

#include "raster/image_limits.h"
#include "raster/raster_error.h"

namespace tarnvale {
namespace {

// Room for the largest accepted image stored uncompressed, plus headers and
// slack; anything larger is not a picture we could show.
constexpr long long kMaxFileBytes = 2 * kMaxImageBytes;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::string loadErrorText(const std::string& fileName, const std::string& reason) {
  return "Cannot load image " + fileName + ": " + reason;
}

std::vector<std::uint8_t> readFileBytes(const std::string& fileName) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "rb"));
  if (!file) throw RasterError(loadErrorText(fileName, "the file cannot be opened"));
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[65536];
  for (;;) {
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
    if (got == 0) break;
    if (static_cast<long long>(bytes.size() + got) > kMaxFileBytes)
      throw RasterError(loadErrorText(fileName, "the file is too large"));
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  if (std::ferror(file.get()))
    throw RasterError(loadErrorText(fileName, "the file cannot be read"));
  return bytes;
}

}  // namespace tarnvale
