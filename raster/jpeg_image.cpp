#include "raster/jpeg_image.h"

// clang-format off
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <cstring>
#include <memory>
#include <utility>

#include "raster/file_bytes.h"
#include "raster/image_limits.h"
#include "raster/raster_error.h"

namespace tarnvale {
namespace {

// libjpeg reports fatal errors by calling error_exit, which must not return;
// ours jumps back into the decoding step that called the library. Only the
// plain C structures below live in the frames a jump crosses, so nothing with
// a destructor is skipped.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void errorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// Warnings (recoverable damage) are not printed; libjpeg carries on.
void outputMessage(j_common_ptr) {}

// The whole file is in memory. Running out of data is an error, not the
// library's default of padding the picture with gray: a cut-off file fails
// like any other damaged one.
void initSource(j_decompress_ptr) {}

boolean fillInputBuffer(j_decompress_ptr cinfo) {
  ERREXIT(cinfo, JERR_INPUT_EOF);
  return FALSE;
}

void skipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* src = cinfo->src;
  if (static_cast<unsigned long>(count) > src->bytes_in_buffer) ERREXIT(cinfo, JERR_INPUT_EOF);
  src->next_input_byte += count;
  src->bytes_in_buffer -= static_cast<std::size_t>(count);
}

void termSource(j_decompress_ptr) {}

// Enough for the coefficient buffers of a progressive picture at the largest
// accepted size; beyond it libjpeg fails cleanly instead of exhausting memory.
constexpr long kMaxDecoderMemory = 3 * kMaxImageBytes;

// A progressive picture needs a few scans per colour component (a dozen or so
// in practice); thousands only make the decoder pass over the coefficients
// thousands of times. Beyond this many the file counts as damaged.
constexpr int kMaxScans = 500;

struct Decoder {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  jpeg_source_mgr src;
  jpeg_progress_mgr progress;
};

// libjpeg calls this often while it reads, in progressive pictures at least
// once per scan.
void watchScans(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) ERREXIT1(cinfo, JERR_BAD_SCAN_SCRIPT, d->input_scan_number);
}

// Each step returns false with err.message set when libjpeg fails.
bool startDecoding(Decoder* d, const std::uint8_t* data, std::size_t size) {
  if (setjmp(d->err.jump)) return false;
  jpeg_create_decompress(&d->cinfo);
  d->cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
  d->src.next_input_byte = data;
  d->src.bytes_in_buffer = size;
  d->src.init_source = initSource;
  d->src.fill_input_buffer = fillInputBuffer;
  d->src.skip_input_data = skipInputData;
  d->src.resync_to_restart = jpeg_resync_to_restart;
  d->src.term_source = termSource;
  d->cinfo.src = &d->src;
  d->progress.progress_monitor = watchScans;
  d->cinfo.progress = &d->progress;
  jpeg_read_header(&d->cinfo, TRUE);
  return true;
}

bool decodeRows(Decoder* d, std::uint8_t* rgb) {
  if (setjmp(d->err.jump)) return false;
  d->cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&d->cinfo);
  const std::size_t stride = static_cast<std::size_t>(d->cinfo.output_width) * 3;
  while (d->cinfo.output_scanline < d->cinfo.output_height) {
    JSAMPROW row = rgb + d->cinfo.output_scanline * stride;
    jpeg_read_scanlines(&d->cinfo, &row, 1);
  }
  jpeg_finish_decompress(&d->cinfo);
  return true;
}

// Releases libjpeg's memory however decoding ends, exceptions included; a
// zeroed, never created decoder is left alone by jpeg_destroy_decompress.
struct DecoderGuard {
  Decoder* d;
  ~DecoderGuard() { jpeg_destroy_decompress(&d->cinfo); }
};

}  // namespace

void JpegImage::LoadFromFile(const std::string& FileName) {
  const auto bytes = readFileBytes(FileName);
  LoadFromMemory(bytes.data(), bytes.size(), FileName);
}

void JpegImage::LoadFromMemory(const std::uint8_t* Data, std::size_t Size,
                               const std::string& FileName) {
  auto decoder = std::make_unique<Decoder>();
  Decoder* d = decoder.get();
  std::memset(d, 0, sizeof *d);
  d->cinfo.err = jpeg_std_error(&d->err.pub);
  d->err.pub.error_exit = errorExit;
  d->err.pub.output_message = outputMessage;
  DecoderGuard guard{d};

  if (!startDecoding(d, Data, Size)) throw RasterError(loadErrorText(FileName, d->err.message));
  // Decoded at full size, so the output is as large as the header says.
  const auto width = static_cast<std::int64_t>(d->cinfo.image_width);
  const auto height = static_cast<std::int64_t>(d->cinfo.image_height);
  if (!imageSizeAllowed(width, height))
    throw RasterError(loadErrorText(FileName, kPictureTooLarge));
  // Every byte is written by the decoder, so the memory is not cleared first.
  auto rgb =
      std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(width * height * 3));
  if (!decodeRows(d, rgb.get())) throw RasterError(loadErrorText(FileName, d->err.message));

  rgb_ = std::move(rgb);
  width_ = static_cast<int>(width);
  height_ = static_cast<int>(height);
}

}  // namespace tarnvale
