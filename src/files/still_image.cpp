#include "files/still_image.h"

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "imaging/convert.h"
#include "imaging/dib_image.h"

namespace morvex::files {

namespace {

uint16_t Load16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// A stdio file that is removed again unless the write completed.
class OutputFile {
 public:
  explicit OutputFile(const std::string& path) : path_(path), file_(std::fopen(path.c_str(), "wb")) {}
  ~OutputFile() {
    if (file_ != nullptr) std::fclose(file_);
    if (!kept_) std::remove(path_.c_str());
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  FILE* get() const { return file_; }
  bool Write(const void* data, size_t size) {
    return file_ != nullptr && (size == 0 || std::fwrite(data, 1, size, file_) == size);
  }
  // Flushes and closes; the file stays only when every byte reached it.
  bool Finish() {
    if (file_ == nullptr) return false;
    const bool ok = std::ferror(file_) == 0 && std::fclose(file_) == 0;
    file_ = nullptr;
    kept_ = ok;
    return ok;
  }

 private:
  std::string path_;
  FILE* file_;
  bool kept_ = false;
};

void Put16(uint8_t* p, uint32_t v) { p[0] = static_cast<uint8_t>(v), p[1] = static_cast<uint8_t>(v >> 8); }
void Put32(uint8_t* p, uint32_t v) { Put16(p, v), Put16(p + 2, v >> 16); }

}  // namespace

bool WriteBmp(const std::string& path, const imaging::CDibImage& image) {
  if (image.empty()) return false;
  const uint32_t bits = image.bits_per_pixel();
  const uint32_t offset = bits <= 8 ? 1078 : 54;
  const uint32_t data_size = static_cast<uint32_t>(image.size_bytes());
  uint8_t header[54] = {};
  header[0] = 'B', header[1] = 'M';
  Put32(header + 2, offset + data_size);
  Put32(header + 10, offset);
  imaging::DibHeader info = image.header();
  info.height = image.height();
  info.compression = 0;
  info.size_image = 0;
  std::memcpy(header + 14, &info, sizeof info);
  OutputFile out(path);
  if (!out.Write(header, sizeof header)) return false;
  if (bits <= 8) {
    // The grey ramp the image carries, as its device context holds it.
    uint8_t palette[1024];
    const imaging::DibColour* table = image.colour_table();
    for (int i = 0; i < 256; ++i) {
      palette[4 * i + 0] = table[i].blue;
      palette[4 * i + 1] = table[i].green;
      palette[4 * i + 2] = table[i].red;
      palette[4 * i + 3] = 0;
    }
    if (!out.Write(palette, sizeof palette)) return false;
  }
  // The file's first row is the picture's bottom row.
  for (int32_t y = image.height() - 1; y >= 0; --y)
    if (!out.Write(image.row(y), static_cast<size_t>(image.stride()))) return false;
  return out.Finish();
}

bool WriteRaw(const std::string& path, const imaging::CDibImage& image) {
  if (image.empty()) return false;
  OutputFile out(path);
  return out.Write(image.pixels(), image.size_bytes()) && out.Finish();
}

namespace {

struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf recovery;
};

void JpegFail(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->recovery, 1); }

// One top-down row of the picture as 8-bit grey or RGB samples.
void JpegRow(const imaging::CDibImage& image, int32_t y, uint8_t* out) {
  const uint8_t* row = image.row(y);
  const int32_t width = image.width();
  const int32_t shift = imaging::ViewShift(image.significant_bits());
  auto view = [shift](uint16_t sample) {
    const uint32_t value = static_cast<uint32_t>(sample) >> shift;
    return static_cast<uint8_t>(value > 255 ? 255 : value);
  };
  switch (image.bits_per_pixel()) {
    case 8:
      std::memcpy(out, row, static_cast<size_t>(width));
      break;
    case 16:
      for (int32_t x = 0; x < width; ++x) out[x] = view(Load16(row + 2 * x));
      break;
    case 24:
    case 32: {
      const int32_t step = image.bits_per_pixel() / 8;
      for (int32_t x = 0; x < width; ++x) {
        out[3 * x + 0] = row[step * x + 2];
        out[3 * x + 1] = row[step * x + 1];
        out[3 * x + 2] = row[step * x + 0];
      }
      break;
    }
    default: {  // 48 and 64
      const int32_t step = image.bits_per_pixel() / 8;
      for (int32_t x = 0; x < width; ++x) {
        out[3 * x + 0] = view(Load16(row + step * x + 4));
        out[3 * x + 1] = view(Load16(row + step * x + 2));
        out[3 * x + 2] = view(Load16(row + step * x + 0));
      }
      break;
    }
  }
}

}  // namespace

bool WriteJpeg(const std::string& path, const imaging::CDibImage& image, int32_t quality) {
  const uint32_t bits = image.bits_per_pixel();
  if (image.empty() || (bits != 8 && bits != 16 && bits != 24 && bits != 32 && bits != 48 && bits != 64))
    return false;
  const bool grey = bits <= 16;
  OutputFile out(path);
  if (out.get() == nullptr) return false;
  std::vector<uint8_t> row(static_cast<size_t>(image.width()) * (grey ? 1 : 3));
  jpeg_compress_struct info;
  // Zeroed, so destroying after an early library error frees nothing stray.
  std::memset(&info, 0, sizeof info);
  JpegErrors errors;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = JpegFail;
  // Nothing with a destructor lives between here and the longjmp target.
  if (setjmp(errors.recovery) != 0) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, out.get());
  info.image_width = static_cast<JDIMENSION>(image.width());
  info.image_height = static_cast<JDIMENSION>(image.height());
  info.input_components = grey ? 1 : 3;
  info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  for (int32_t y = 0; y < image.height(); ++y) {
    JpegRow(image, y, row.data());
    JSAMPROW line = row.data();
    jpeg_write_scanlines(&info, &line, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return out.Finish();
}

namespace {

void PngFail(png_structp png, png_const_charp message) {
  std::fprintf(stderr, "libpng error: %s\n", message);
  png_longjmp(png, 1);
}

}  // namespace

// libpng leaves a failed call by longjmp to the recovery point set here; the
// writer's own variables live in the caller's frame, which setjmp cannot
// clobber.
template <typename Body>
bool RunPngGuarded(png_structp png, Body&& body) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  body();
  return true;
}

bool WritePng(const std::string& path, const imaging::CDibImage& image) {
  const int32_t bits = image.bits_per_pixel();
  const int colour_type = bits == 8 || bits == 16    ? PNG_COLOR_TYPE_GRAY
                          : bits == 24 || bits == 48 ? PNG_COLOR_TYPE_RGB
                          : bits == 32 || bits == 64 ? PNG_COLOR_TYPE_RGB_ALPHA
                                                     : -1;
  if (colour_type < 0) return false;
  if (image.empty()) return false;
  const bool wide = bits == 16 || bits == 48 || bits == 64;
  OutputFile out(path);
  if (out.get() == nullptr) return false;
  // Every piece of state belongs to this call: saves may run in parallel.
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  const size_t row_bytes = static_cast<size_t>(image.width()) * static_cast<size_t>(bits / 8);
  std::vector<uint8_t> row(row_bytes);
  const bool written = RunPngGuarded(png, [&] {
    png_init_io(png, out.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()), static_cast<png_uint_32>(image.height()),
                 wide ? 16 : 8, colour_type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    if (colour_type != PNG_COLOR_TYPE_GRAY) png_set_bgr(png);
    for (int32_t y = 0; y < image.height(); ++y) {
      std::memcpy(row.data(), image.row(y), row_bytes);
      if (bits == 32)  // opaque: the never-written fourth byte is 0
        for (size_t x = 3; x < row_bytes; x += 4) row[x] = static_cast<uint8_t>(~row[x]);
      if (bits == 64)
        for (size_t x = 6; x < row_bytes; x += 8) row[x] = row[x + 1] = 0xFF;
      if (wide)  // PNG samples are big-endian
        for (size_t x = 0; x + 1 < row_bytes; x += 2) std::swap(row[x], row[x + 1]);
      png_write_row(png, row.data());
    }
    png_write_end(png, info);
  });
  png_destroy_write_struct(&png, &info);
  return written && out.Finish();
}

bool WriteTiff(const std::string& path, const imaging::CDibImage& image) {
  const int32_t bits = image.bits_per_pixel();
  uint16_t sample_bits, samples, photometric;
  switch (bits) {
    case 8:
      sample_bits = 8, samples = 1, photometric = PHOTOMETRIC_MINISBLACK;
      break;
    case 16:
      sample_bits = 16, samples = 1, photometric = PHOTOMETRIC_MINISBLACK;
      break;
    case 24:
      sample_bits = 8, samples = 3, photometric = PHOTOMETRIC_RGB;
      break;
    case 32:
      sample_bits = 8, samples = 4, photometric = PHOTOMETRIC_RGB;
      break;
    case 48:
      sample_bits = 16, samples = 3, photometric = PHOTOMETRIC_RGB;
      break;
    case 64:
      sample_bits = 16, samples = 4, photometric = PHOTOMETRIC_RGB;
      break;
    default:
      return false;
  }
  if (image.empty()) return false;
  const size_t row_bytes = static_cast<size_t>(image.width()) * static_cast<size_t>(bits / 8);
  std::vector<uint8_t> strip(row_bytes * static_cast<size_t>(image.height()));
  for (int32_t y = 0; y < image.height(); ++y) {
    uint8_t* out = strip.data() + row_bytes * static_cast<size_t>(y);
    std::memcpy(out, image.row(y), row_bytes);
    if (samples == 1) continue;
    const size_t step = static_cast<size_t>(bits / 8), sample = sample_bits / 8;
    for (size_t x = 0; x < row_bytes; x += step) {
      for (size_t b = 0; b < sample; ++b) std::swap(out[x + b], out[x + 2 * sample + b]);  // blue <-> red
      if (bits == 32) out[x + 3] = 0;
      if (bits == 64) out[x + 6] = out[x + 7] = 0xFF;
    }
  }
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  if (tiff == nullptr) return false;
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(image.width()));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(image.height()));
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, sample_bits);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
  const bool written = TIFFWriteEncodedStrip(tiff, 0, strip.data(), static_cast<tmsize_t>(strip.size())) ==
                       static_cast<tmsize_t>(strip.size());
  // The directory is written at the flush; a failure there is a failed save too.
  const bool complete = written && TIFFFlush(tiff) == 1;
  TIFFClose(tiff);
  if (!complete) std::remove(path.c_str());
  return complete;
}

bool SaveImageFile(const std::string& path, const imaging::CDibImage& image, int32_t format) {
  switch (format) {
    case kBmp:
      return WriteBmp(path, image);
    case kRaw:
      return WriteRaw(path, image);
    case kJpegBest:
      return WriteJpeg(path, image, 100);
    case kJpegGood:
      return WriteJpeg(path, image, 70);
    case kJpegSmall:
      return WriteJpeg(path, image, 20);
    case kPng:
      return WritePng(path, image);
    case kTiff:
      return WriteTiff(path, image);
    default:
      return false;
  }
}

}  // namespace morvex::files
