#include "raster/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "raster/image_limits.h"
#include "raster/raster_error.h"

namespace tarnvale {
namespace {

// Room for the largest accepted image stored uncompressed, plus headers and
// slack; anything larger is not a picture we could show.
constexpr long long kMaxFileBytes = 2 * kMaxImageBytes;

struct FileCloser {
  int fd;
  ~FileCloser() { ::close(fd); }
};

}  // namespace

std::string loadErrorText(const std::string& fileName, const std::string& reason) {
  return "Cannot load image " + fileName + ": " + reason;
}

std::vector<std::uint8_t> readFileBytes(const std::string& fileName) {
  // Without waiting: a FIFO or a device under a skin's name is not a picture,
  // and opening a FIFO for reading would wait for a writer.
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw RasterError(loadErrorText(fileName, "the file cannot be opened"));
  const FileCloser closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
    throw RasterError(loadErrorText(fileName, "the file cannot be opened"));
  if (info.st_size > kMaxFileBytes) throw RasterError(loadErrorText(fileName, kFileTooLarge));
  std::vector<std::uint8_t> bytes;
  bytes.reserve(static_cast<std::size_t>(info.st_size));
  std::uint8_t chunk[65536];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw RasterError(loadErrorText(fileName, "the file cannot be read"));
    if (got == 0) break;
    if (static_cast<long long>(bytes.size()) + got > kMaxFileBytes)
      throw RasterError(loadErrorText(fileName, kFileTooLarge));
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  return bytes;
}

}  // namespace tarnvale
