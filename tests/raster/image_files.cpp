#include "tests/raster/image_files.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>

#include <unistd.h>

namespace tarnvale::test {

Picture randomPicture(std::mt19937& rng, int width, int height) {
  Picture p{width, height, std::vector<TColor32>(static_cast<std::size_t>(width) * height)};
  for (auto& px : p.pixels) px = static_cast<TColor32>(rng());
  return p;
}

void paint(TBitmap32& bitmap, const Picture& picture) {
  bitmap.SetSize(picture.width, picture.height);
  std::copy(picture.pixels.begin(), picture.pixels.end(), bitmap.Bits());
}

Picture pixelsOf(const TBitmap32& bitmap) {
  Picture p{bitmap.Width(), bitmap.Height(), {}};
  if (!bitmap.Empty())
    p.pixels.assign(bitmap.Bits(),
                    bitmap.Bits() + static_cast<std::size_t>(bitmap.Width()) * bitmap.Height());
  return p;
}

void putU32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) b[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
}
void putU16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

namespace {

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3;

// File header and an information header of headerSize bytes; the pixel data
// starts after extra bytes (masks, palette).
Bytes headers(std::uint32_t headerSize, int width, int height, int bitCount,
              std::uint32_t compression, std::size_t extra, std::size_t dataSize,
              std::uint32_t colours = 0) {
  Bytes b(14 + headerSize + extra, 0);
  b[0] = 'B';
  b[1] = 'M';
  putU32(b, 2, static_cast<std::uint32_t>(b.size() + dataSize));
  putU32(b, 10, static_cast<std::uint32_t>(b.size()));
  putU32(b, 14, headerSize);
  putU32(b, 18, static_cast<std::uint32_t>(width));
  putU32(b, 22, static_cast<std::uint32_t>(height));
  putU16(b, 26, 1);
  putU16(b, 28, static_cast<std::uint16_t>(bitCount));
  putU32(b, 30, compression);
  putU32(b, 34, static_cast<std::uint32_t>(dataSize));
  putU32(b, 38, 2835);
  putU32(b, 42, 2835);
  putU32(b, 46, colours);
  return b;
}

std::size_t rowStride(int width, int bitCount) {
  return (static_cast<std::size_t>(width) * bitCount + 31) / 32 * 4;
}

int storedRow(int k, int height, bool topDown) {
  return topDown ? k : height - 1 - k;
}

}  // namespace

Bytes bmp32(const Picture& p, bool topDown) {
  const std::size_t stride = rowStride(p.width, 32);
  Bytes b = headers(40, p.width, topDown ? -p.height : p.height, 32, kRgb, 0, stride * p.height);
  for (int k = 0; k < p.height; ++k) {
    const int y = storedRow(k, p.height, topDown);
    for (int x = 0; x < p.width; ++x)
      for (int c = 0; c < 4; ++c) b.push_back(static_cast<std::uint8_t>(p.at(x, y) >> (8 * c)));
  }
  return b;
}

Bytes bmp24(const Picture& p, bool topDown) {
  const std::size_t stride = rowStride(p.width, 24);
  Bytes b = headers(40, p.width, topDown ? -p.height : p.height, 24, kRgb, 0, stride * p.height);
  for (int k = 0; k < p.height; ++k) {
    const int y = storedRow(k, p.height, topDown);
    const std::size_t start = b.size();
    for (int x = 0; x < p.width; ++x)
      for (int c = 0; c < 3; ++c) b.push_back(static_cast<std::uint8_t>(p.at(x, y) >> (8 * c)));
    b.resize(start + stride, 0);
  }
  return b;
}

Bytes bmp16(const Picture& p, bool bitfields565) {
  const std::size_t stride = rowStride(p.width, 16);
  Bytes b = headers(40, p.width, p.height, 16, bitfields565 ? kBitfields : kRgb,
                    bitfields565 ? 12 : 0, stride * p.height);
  if (bitfields565) {
    putU32(b, 54, 0xF800);
    putU32(b, 58, 0x07E0);
    putU32(b, 62, 0x001F);
  }
  for (int k = 0; k < p.height; ++k) {
    const int y = storedRow(k, p.height, false);
    const std::size_t start = b.size();
    for (int x = 0; x < p.width; ++x) {
      const TColor32 c = p.at(x, y);
      const unsigned r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, bl = c & 0xFF;
      const unsigned v = bitfields565 ? ((r >> 3) << 11) | ((g >> 2) << 5) | (bl >> 3)
                                      : ((r >> 3) << 10) | ((g >> 3) << 5) | (bl >> 3);
      b.push_back(static_cast<std::uint8_t>(v));
      b.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    b.resize(start + stride, 0);
  }
  return b;
}

Bytes bmpIndexed(const Indexed& image, int bitCount, bool topDown) {
  const std::size_t stride = rowStride(image.width, bitCount);
  const std::size_t paletteBytes = image.palette.size() * 4;
  Bytes b =
      headers(40, image.width, topDown ? -image.height : image.height, bitCount, kRgb, paletteBytes,
              stride * image.height, static_cast<std::uint32_t>(image.palette.size()));
  for (std::size_t i = 0; i < image.palette.size(); ++i) putU32(b, 54 + 4 * i, image.palette[i]);
  for (int k = 0; k < image.height; ++k) {
    const int y = storedRow(k, image.height, topDown);
    Bytes row(stride, 0);
    for (int x = 0; x < image.width; ++x) {
      const unsigned v = image.index[static_cast<std::size_t>(y) * image.width + x];
      const std::size_t bit = static_cast<std::size_t>(x) * bitCount;
      row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - bitCount - bit % 8));
    }
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

Bytes bmpRle(const Indexed& image, int bitCount) {
  Bytes data;
  for (int k = 0; k < image.height; ++k) {
    const int y = storedRow(k, image.height, false);
    const std::uint8_t* row = image.index.data() + static_cast<std::size_t>(y) * image.width;
    int x = 0;
    while (x < image.width) {
      // A run of one value (or, for 4 bits, one alternating pair) ...
      int run = 1;
      while (x + run < image.width && run < 255 && row[x + run] == row[x]) ++run;
      if (run >= 3 || image.width - x < 3) {
        data.push_back(static_cast<std::uint8_t>(run));
        data.push_back(bitCount == 8 ? row[x] : static_cast<std::uint8_t>(row[x] << 4 | row[x]));
        x += run;
        continue;
      }
      // ... or an absolute group of at least three pixels, padded to 16 bits.
      int count = 3;
      while (x + count < image.width && count < 255 &&
             !(x + count + 2 < image.width && row[x + count] == row[x + count + 1] &&
               row[x + count] == row[x + count + 2]))
        ++count;
      data.push_back(0);
      data.push_back(static_cast<std::uint8_t>(count));
      Bytes group;
      for (int i = 0; i < count; ++i) {
        if (bitCount == 8)
          group.push_back(row[x + i]);
        else if (i % 2 == 0)
          group.push_back(static_cast<std::uint8_t>(row[x + i] << 4));
        else
          group.back() |= row[x + i];
      }
      if (group.size() % 2) group.push_back(0);
      data.insert(data.end(), group.begin(), group.end());
      x += count;
    }
    data.push_back(0);
    data.push_back(k + 1 == image.height ? 1 : 0);  // end of line, or of bitmap
  }
  return bmpRleStream(image.width, image.height, bitCount, image.palette, data);
}

Bytes bmpRleStream(int width, int height, int bitCount, const std::vector<std::uint32_t>& palette,
                   const Bytes& stream) {
  const std::size_t paletteBytes = palette.size() * 4;
  Bytes b = headers(40, width, height, bitCount, bitCount == 8 ? kRle8 : kRle4, paletteBytes,
                    stream.size(), static_cast<std::uint32_t>(palette.size()));
  for (std::size_t i = 0; i < palette.size(); ++i) putU32(b, 54 + 4 * i, palette[i]);
  b.insert(b.end(), stream.begin(), stream.end());
  return b;
}

Bytes bmp32AlphaBitfields(const Picture& p) {
  // 124-byte header: masks for red, green, blue and alpha at 54..69.
  Bytes b = headers(124, p.width, p.height, 32, kBitfields, 0,
                    static_cast<std::size_t>(p.width) * p.height * 4);
  putU32(b, 54, 0x00FF0000);
  putU32(b, 58, 0x0000FF00);
  putU32(b, 62, 0x000000FF);
  putU32(b, 66, 0xFF000000);
  putU32(b, 70, 0x73524742);  // colour space "sRGB"
  for (int k = 0; k < p.height; ++k) {
    const int y = storedRow(k, p.height, false);
    for (int x = 0; x < p.width; ++x)
      for (int c = 0; c < 4; ++c) b.push_back(static_cast<std::uint8_t>(p.at(x, y) >> (8 * c)));
  }
  return b;
}

Bytes bmpCore24(const Picture& p) {
  const std::size_t stride = rowStride(p.width, 24);
  Bytes b(26, 0);
  b[0] = 'B';
  b[1] = 'M';
  putU32(b, 2, static_cast<std::uint32_t>(26 + stride * p.height));
  putU32(b, 10, 26);
  putU32(b, 14, 12);
  putU16(b, 18, static_cast<std::uint16_t>(p.width));
  putU16(b, 20, static_cast<std::uint16_t>(p.height));
  putU16(b, 22, 1);
  putU16(b, 24, 24);
  for (int k = 0; k < p.height; ++k) {
    const int y = storedRow(k, p.height, false);
    const std::size_t start = b.size();
    for (int x = 0; x < p.width; ++x)
      for (int c = 0; c < 3; ++c) b.push_back(static_cast<std::uint8_t>(p.at(x, y) >> (8 * c)));
    b.resize(start + stride, 0);
  }
  return b;
}

TColor32 opaqueColour(const Indexed& image, int x, int y) {
  return 0xFF000000u | image.palette[image.index[static_cast<std::size_t>(y) * image.width + x]];
}

namespace {

// Compresses `rgb` (its green channel when gray); `configure` sets what
// differs from the library's defaults.
Bytes compressJpeg(int width, int height, const Bytes& rgb, bool gray,
                   const std::function<void(jpeg_compress_struct&)>& configure) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  jpeg_mem_dest(&cinfo, &out, &outSize);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = gray ? 1 : 3;
  cinfo.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  configure(cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  Bytes row(static_cast<std::size_t>(width) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const std::uint8_t* src =
        rgb.data() + static_cast<std::size_t>(cinfo.next_scanline) * width * 3;
    if (gray)
      for (int x = 0; x < width; ++x) row[x] = src[3 * x + 1];
    else
      std::copy(src, src + width * 3, row.begin());
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  Bytes file(out, out + outSize);
  jpeg_destroy_compress(&cinfo);
  std::free(out);
  return file;
}

}  // namespace

Bytes encodeJpeg(int width, int height, const Bytes& rgb, JpegKind kind, int quality) {
  return compressJpeg(width, height, rgb, kind == JpegKind::grayscale,
                      [&](jpeg_compress_struct& cinfo) {
                        jpeg_set_quality(&cinfo, quality, TRUE);
                        if (kind == JpegKind::progressive) jpeg_simple_progression(&cinfo);
                      });
}

Bytes encodeGrayJpegWithScans(int width, int height, const Bytes& rgb, int scans) {
  // The DC coefficient whole in one scan, then the AC coefficients one at a
  // time from bit 10 down, each bit a scan of its own: up to 1 + 63 × 11.
  std::vector<jpeg_scan_info> script;
  script.push_back({1, {0}, 0, 0, 0, 0});
  for (int k = 1; k <= 63; ++k) {
    script.push_back({1, {0}, k, k, 0, 10});
    for (int bit = 10; bit > 0; --bit) script.push_back({1, {0}, k, k, bit, bit - 1});
  }
  if (scans < 1 || scans > static_cast<int>(script.size())) std::abort();
  script.resize(static_cast<std::size_t>(scans));
  return compressJpeg(width, height, rgb, true, [&](jpeg_compress_struct& cinfo) {
    cinfo.scan_info = script.data();
    cinfo.num_scans = scans;
  });
}

Bytes decodeJpegReference(const Bytes& file, int& width, int& height) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  width = static_cast<int>(cinfo.output_width);
  height = static_cast<int>(cinfo.output_height);
  Bytes rgb(static_cast<std::size_t>(width) * height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW r = rgb.data() + static_cast<std::size_t>(cinfo.output_scanline) * width * 3;
    jpeg_read_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return rgb;
}

Bytes smoothRgb(int width, int height) {
  Bytes rgb(static_cast<std::size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
      p[0] = static_cast<std::uint8_t>(40 + 160 * x / std::max(1, width - 1));
      p[1] = static_cast<std::uint8_t>(200 - 150 * y / std::max(1, height - 1));
      p[2] = 128;
    }
  return rgb;
}

TempDir::TempDir() {
  static int counter = 0;
  path_ = std::filesystem::temp_directory_path() /
          ("tarnvale-raster-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& name, const Bytes& content) const {
  const auto file = path_ / name;
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(content.data()),
            static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
  return file.string();
}

Bytes readAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace tarnvale::test
