#include "raster/bmp_reader.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <bit>
#include <cstring>

#include "raster/bmp_rle.h"
#include "raster/file_bytes.h"
#include "raster/image_limits.h"
#include "raster/raster_error.h"

namespace tarnvale {
namespace {

static_assert(std::endian::native == std::endian::little,
              "pixels are copied as stored: blue, green, red, alpha");

std::uint32_t u16At(const std::uint8_t* p) {
  return p[0] | (p[1] << 8);
}
std::uint32_t u32At(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::int32_t i32At(const std::uint8_t* p) {
  return static_cast<std::int32_t>(u32At(p));
}

// Offsets into the file header (14 bytes) and the information header after it.
constexpr std::size_t kDataOffset = 10;
constexpr std::size_t kInfoSize = 14;
constexpr std::size_t kWidth = 18;
constexpr std::size_t kHeight = 22;
constexpr std::size_t kPlanes = 26;
constexpr std::size_t kBitCount = 28;
constexpr std::size_t kCompression = 30;
constexpr std::size_t kColoursUsed = 46;
// The old 12-byte header keeps 16-bit sizes at other places.
constexpr std::size_t kCoreWidth = 18;
constexpr std::size_t kCoreHeight = 20;
constexpr std::size_t kCoreBitCount = 24;

constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kNoCompression = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitfields = 3;
constexpr std::uint32_t kAlphaBitfields = 6;

// More than the largest palette and masks the reader could count differently.
constexpr qsizetype kReaderSlack = 2048;

DecodedPixels readDirect32(const std::uint8_t* data, std::size_t size,
                           const std::string& fileName) {
  const std::int64_t width = i32At(data + kWidth);
  const std::int64_t height = i32At(data + kHeight);
  if (!imageSizeAllowed(width, height))
    throw RasterError(loadErrorText(fileName, kPictureTooLarge));
  DecodedPixels out;
  // A negative width counts as 0, as for any size.
  const std::int64_t w = width < 0 ? 0 : width;
  const std::int64_t h = height < 0 ? -height : height;
  if (w == 0 || h == 0) return out;
  const std::size_t rowBytes = static_cast<std::size_t>(w) * 4;
  if ((size - kBmpHeaderBytes) / rowBytes < static_cast<std::size_t>(h))
    throw RasterError(loadErrorText(fileName, "the file ends before its pixel rows do"));
  out.Width = static_cast<int>(w);
  out.Height = static_cast<int>(h);
  out.Pixels.resize(static_cast<std::size_t>(w * h));
  // A positive height means the rows are stored bottom-up.
  for (std::int64_t k = 0; k < h; ++k) {
    const std::int64_t y = height > 0 ? h - 1 - k : k;
    std::memcpy(out.Pixels.data() + y * w, data + kBmpHeaderBytes + k * rowBytes, rowBytes);
  }
  return out;
}

// What the headers say about a file the general reader takes.
struct BmpLayout {
  std::uint32_t headerSize = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;
  int bitCount = 0;
  std::uint32_t compression = kNoCompression;
  std::uint32_t coloursUsed = 0;
  std::uint32_t dataOffset = 0;
};

BmpLayout layoutOf(const std::uint8_t* data, const std::string& fileName) {
  BmpLayout l;
  l.headerSize = u32At(data + kInfoSize);
  l.dataOffset = u32At(data + kDataOffset);
  if (l.headerSize == kCoreHeaderSize) {
    l.width = u16At(data + kCoreWidth);
    l.height = u16At(data + kCoreHeight);
    l.bitCount = static_cast<int>(u16At(data + kCoreBitCount));
  } else if (l.headerSize >= kInfoHeaderSize) {
    l.width = i32At(data + kWidth);
    l.height = i32At(data + kHeight);
    l.bitCount = static_cast<int>(u16At(data + kBitCount));
    l.compression = u32At(data + kCompression);
    l.coloursUsed = u32At(data + kColoursUsed);
  } else {
    throw RasterError(loadErrorText(fileName, "the bitmap header is not valid"));
  }
  return l;
}

std::uint64_t paletteEntries(const BmpLayout& l) {
  if (l.bitCount < 1 || l.bitCount > 8) return 0;
  const std::uint64_t full = std::uint64_t{1} << l.bitCount;
  return l.coloursUsed != 0 && l.coloursUsed < full ? l.coloursUsed : full;
}

// Bytes the pixel rows of an uncompressed file need, counted from the start
// of the file: from the data offset, or from the end of the headers, palette
// and masks if that lies further.
std::uint64_t uncompressedEnd(const BmpLayout& l) {
  const std::uint64_t entryBytes = l.headerSize == kCoreHeaderSize ? 3 : 4;
  std::uint64_t masks = 0;
  if (l.headerSize == kInfoHeaderSize && l.compression == kBitfields) masks = 12;
  if (l.headerSize == kInfoHeaderSize && l.compression == kAlphaBitfields) masks = 16;
  const std::uint64_t tables = kInfoSize + l.headerSize + masks + paletteEntries(l) * entryBytes;
  const std::uint64_t start = std::max<std::uint64_t>(l.dataOffset, tables);
  const auto w = static_cast<std::uint64_t>(l.width < 0 ? -l.width : l.width);
  const auto h = static_cast<std::uint64_t>(l.height < 0 ? -l.height : l.height);
  const std::uint64_t stride =
      (w * static_cast<std::uint64_t>(std::max(l.bitCount, 0)) + 31) / 32 * 4;
  return start + stride * h;
}

[[noreturn]] void cutShort(const std::string& fileName) {
  throw RasterError(loadErrorText(fileName, "the file ends before its pixel rows do"));
}

// Run-length compressed files are decoded here: the general reader leaves
// the pixels such a stream skips uninitialised.
DecodedPixels readRle(const std::uint8_t* data, std::size_t size, const BmpLayout& l,
                      const std::string& fileName) {
  const int bitCount = l.compression == kRle8 ? 8 : 4;
  if (l.bitCount != bitCount || l.width <= 0 || l.height <= 0)
    throw RasterError(loadErrorText(fileName, "the bitmap cannot be decoded (bad RLE header)"));
  const std::uint64_t paletteStart = kInfoSize + l.headerSize;
  const std::uint64_t entries = paletteEntries(l);
  if (paletteStart + entries * 4 > size || l.dataOffset > size) cutShort(fileName);
  std::vector<TColor32> palette(entries);
  for (std::uint64_t i = 0; i < entries; ++i)
    palette[i] = u32At(data + paletteStart + 4 * i) & 0x00FFFFFF;

  DecodedPixels out;
  out.Width = static_cast<int>(l.width);
  out.Height = static_cast<int>(l.height);
  out.Pixels.assign(static_cast<std::size_t>(l.width * l.height), 0);
  if (decodeRle(data + l.dataOffset, size - l.dataOffset, bitCount, out.Width, out.Height, palette,
                out.Pixels) == RleResult::truncated)
    cutShort(fileName);
  for (TColor32& px : out.Pixels) px |= 0xFF000000u;
  return out;
}

DecodedPixels readGeneral(const std::uint8_t* data, std::size_t size, const std::string& fileName) {
  const BmpLayout l = layoutOf(data, fileName);
  if (!imageSizeAllowed(l.width, l.height))
    throw RasterError(loadErrorText(fileName, kPictureTooLarge));
  if (l.compression == kRle8 || l.compression == kRle4) return readRle(data, size, l, fileName);
  // The general reader returns a partial picture, the rest uninitialised,
  // when the rows are cut short; such a file fails here instead.
  if (uncompressedEnd(l) > size) cutShort(fileName);

  // The reader's own ceiling (in MiB) must not be below ours.
  constexpr int kLimitMiB = static_cast<int>(kMaxImageBytes >> 20);
  if (const int limit = QImageReader::allocationLimit(); limit != 0 && limit < kLimitMiB)
    QImageReader::setAllocationLimit(kLimitMiB);

  // Zeros after the content: should the reader place the rows a little later
  // than reckoned above (it may skip a palette it counts differently), it
  // reads zeros rather than leaving pixels unset.
  QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  bytes.append(kReaderSlack, '\0');
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "bmp");
  // The file is a BMP: without this the reader loads every image plugin to
  // ask whether it knows the content, and they stay loaded for good.
  reader.setAutoDetectImageFormat(false);
  QImage image = reader.read();
  if (image.isNull())
    throw RasterError(loadErrorText(
        fileName, "the bitmap cannot be decoded (" + reader.errorString().toStdString() + ")"));
  if (!imageSizeAllowed(image.width(), image.height()))
    throw RasterError(loadErrorText(fileName, kPictureTooLarge));

  image = image.convertToFormat(QImage::Format_ARGB32);
  DecodedPixels out;
  out.Width = image.width();
  out.Height = image.height();
  out.Pixels.resize(static_cast<std::size_t>(out.Width) * out.Height);
  const TColor32 opaque = l.bitCount == 32 ? 0 : 0xFF000000u;
  for (int y = 0; y < out.Height; ++y) {
    const auto* row = reinterpret_cast<const TColor32*>(image.constScanLine(y));
    TColor32* dst = out.Pixels.data() + static_cast<std::size_t>(y) * out.Width;
    for (int x = 0; x < out.Width; ++x) dst[x] = row[x] | opaque;
  }
  return out;
}

}  // namespace

DecodedPixels readBmp(const std::uint8_t* data, std::size_t size, const std::string& fileName) {
  const bool direct32 = u32At(data + kInfoSize) == kInfoHeaderSize && u16At(data + kPlanes) == 1 &&
                        u16At(data + kBitCount) == 32 &&
                        u32At(data + kCompression) == kNoCompression;
  return direct32 ? readDirect32(data, size, fileName) : readGeneral(data, size, fileName);
}

}  // namespace tarnvale
