// Still-image files read back with independent readers: the image
// libraries' own decoders for PNG, TIFF and JPEG, bytes for BMP and RAW.
#include "files/still_image.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "imaging/dib_image.h"
#include "paths.h"

#ifndef MORVEX_WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace morvex::files {
namespace {

using imaging::CDibImage;

constexpr int32_t kWidth = 13;  // odd, so rows are padded
constexpr int32_t kHeight = 6;

// Sample c of pixel (x, y): distinct per channel, row and column.
uint32_t Pattern(int32_t x, int32_t y, int32_t c, bool wide) {
  const uint32_t v = static_cast<uint32_t>(x * 17 + y * 41 + c * 71);
  return wide ? (v * 97) & 0xFFFF : v & 0xFF;
}

std::unique_ptr<CDibImage> Make(uint16_t bits) {
  auto owned = std::make_unique<CDibImage>();
  CDibImage& image = *owned;
  EXPECT_TRUE(image.Create(kWidth, kHeight, bits));
  const bool wide = bits == 16 || bits == 48 || bits == 64;
  const int32_t channels = bits == 8 || bits == 16 ? 1 : (bits == 24 || bits == 48 ? 3 : 4);
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x)
      for (int32_t c = 0; c < channels; ++c) {
        uint8_t* p = image.row(y) + (x * channels + c) * (wide ? 2 : 1);
        const uint32_t v = (channels == 4 && c == 3) ? 0 : Pattern(x, y, c, wide);
        p[0] = static_cast<uint8_t>(v);
        if (wide) p[1] = static_cast<uint8_t>(v >> 8);
      }
  image.set_significant_bits(16);
  return owned;
}

std::vector<uint8_t> Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::string& path) { return std::ifstream(path).good(); }

class Stills : public ::testing::Test {
 protected:
  Stills() { std::filesystem::create_directories(dir_); }
  ~Stills() override { std::filesystem::remove_all(dir_); }
  std::string Path(const char* name) { return dir_ + "/" + name; }
  const std::string dir_ = test::TempPath("stills");
};

const uint16_t kDepths[] = {8, 16, 24, 32, 48, 64};

TEST_F(Stills, BmpAndRawHoldTheRowsInTheirOrder) {
  for (uint16_t bits : kDepths) {
    SCOPED_TRACE(bits);
    const auto made = Make(bits);
    const CDibImage& image = *made;
    ASSERT_TRUE(SaveImageFile(Path("a.bmp"), image, kBmp));
    const std::vector<uint8_t> bmp = Bytes(Path("a.bmp"));
    const uint32_t offset = bits == 8 ? 1078 : 54;
    ASSERT_EQ(bmp.size(), offset + image.size_bytes());
    EXPECT_EQ('B', bmp[0]);
    EXPECT_EQ('M', bmp[1]);
    EXPECT_EQ(offset, static_cast<uint32_t>(bmp[10] | bmp[11] << 8));
    EXPECT_EQ(bits, bmp[28]);
    if (bits == 8) {
      EXPECT_EQ(200, bmp[54 + 4 * 200 + 1]);  // the grey palette
    }
    // The file's first row is the picture's bottom row.
    EXPECT_EQ(0, std::memcmp(&bmp[offset], image.row(kHeight - 1), image.stride()));
    EXPECT_EQ(0, std::memcmp(&bmp[bmp.size() - image.stride()], image.row(0), image.stride()));

    ASSERT_TRUE(SaveImageFile(Path("a.raw"), image, kRaw));
    const std::vector<uint8_t> raw = Bytes(Path("a.raw"));
    ASSERT_EQ(raw.size(), image.size_bytes());
    EXPECT_EQ(0, std::memcmp(raw.data(), image.pixels(), raw.size()));
  }
}

TEST_F(Stills, PngCarriesEverySampleTopRowFirst) {
  for (uint16_t bits : kDepths) {
    SCOPED_TRACE(bits);
    ASSERT_TRUE(SaveImageFile(Path("a.png"), *Make(bits), kPng));
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&png, Path("a.png").c_str()));
    const bool wide = bits == 16 || bits == 48 || bits == 64;
    const bool grey = bits <= 16;
    EXPECT_EQ(wide ? 16u : 8u, PNG_IMAGE_SAMPLE_COMPONENT_SIZE(png.format) * 8);
    png.format = (grey ? 0 : PNG_FORMAT_FLAG_COLOR) | (bits == 32 || bits == 64 ? PNG_FORMAT_FLAG_ALPHA : 0) |
                 (wide ? PNG_FORMAT_FLAG_LINEAR : 0);
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(png));
    ASSERT_TRUE(png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr));
    const int32_t channels = PNG_IMAGE_SAMPLE_CHANNELS(png.format);
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x)
        for (int32_t c = 0; c < std::min(channels, 3); ++c) {
          const size_t at = static_cast<size_t>((y * kWidth + x) * channels + c);
          const uint32_t got = wide ? reinterpret_cast<const uint16_t*>(pixels.data())[at] : pixels[at];
          // Files hold red first; the image blue first.
          const int32_t source = grey ? 0 : 2 - c;
          ASSERT_EQ(Pattern(x, y, source, wide), got) << x << "," << y << " channel " << c;
        }
  }
}

TEST_F(Stills, TiffCarriesEverySampleInOneStrip) {
  for (uint16_t bits : kDepths) {
    SCOPED_TRACE(bits);
    ASSERT_TRUE(SaveImageFile(Path("a.tif"), *Make(bits), kTiff));
    TIFF* tiff = TIFFOpen(Path("a.tif").c_str(), "r");
    ASSERT_NE(nullptr, tiff);
    uint16_t sample_bits = 0, samples = 0;
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &sample_bits);
    TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    const bool wide = sample_bits == 16;
    std::vector<uint8_t> strip(static_cast<size_t>(TIFFStripSize(tiff)));
    ASSERT_GT(TIFFReadEncodedStrip(tiff, 0, strip.data(), static_cast<tmsize_t>(strip.size())), 0);
    TIFFClose(tiff);
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x)
        for (int32_t c = 0; c < std::min<int32_t>(samples, 3); ++c) {
          const size_t at = static_cast<size_t>((y * kWidth + x) * samples + c);
          const uint32_t got =
              wide ? static_cast<uint32_t>(strip[2 * at] | strip[2 * at + 1] << 8) : strip[at];
          ASSERT_EQ(Pattern(x, y, samples == 1 ? 0 : 2 - c, wide), got) << x << "," << y << " channel " << c;
        }
  }
}

TEST_F(Stills, JpegShowsThePictureUpright) {
  for (uint16_t bits : kDepths) {
    SCOPED_TRACE(bits);
    // A smooth picture, so JPEG keeps it within a few steps.
    CDibImage image;
    ASSERT_TRUE(image.Create(64, 32, bits));
    const int32_t step = bits / 8;
    for (int32_t y = 0; y < 32; ++y)
      for (int32_t x = 0; x < 64; ++x)
        for (int32_t b = 0; b < step; b += (bits == 16 || bits >= 48) ? 2 : 1) {
          const uint32_t v8 = static_cast<uint32_t>(y * 7);
          if (bits == 16 || bits >= 48) {
            image.row(y)[x * step + b] = 0;
            image.row(y)[x * step + b + 1] = static_cast<uint8_t>(v8);
          } else {
            image.row(y)[x * step + b] = static_cast<uint8_t>(v8);
          }
        }
    image.set_significant_bits(16);
    ASSERT_TRUE(SaveImageFile(Path("a.jpg"), image, kJpegBest));
    FILE* file = std::fopen(Path("a.jpg").c_str(), "rb");
    ASSERT_NE(nullptr, file);
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    EXPECT_TRUE(jpeg_has_multiple_scans(&info));  // progressive
    jpeg_start_decompress(&info);
    std::vector<uint8_t> line(info.output_width * info.output_components);
    for (uint32_t y = 0; y < info.output_height; ++y) {
      JSAMPROW row = line.data();
      jpeg_read_scanlines(&info, &row, 1);
      EXPECT_NEAR(static_cast<int>(y) * 7, line[20 * info.output_components], 3) << "row " << y;
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
  }
}

TEST_F(Stills, RefusalsWriteNothing) {
  const auto made = Make(8);
  const CDibImage& image = *made;
  for (int32_t format : {7, -1}) {
    EXPECT_FALSE(SaveImageFile(Path("none"), image, format));
    EXPECT_FALSE(Exists(Path("none")));
  }
  for (int32_t format = 0; format <= 6; ++format)
    EXPECT_FALSE(SaveImageFile(Path("missing/dir/file"), image, format)) << format;
  // An existing file is truncated, not appended to.
  { std::ofstream(Path("old.raw"), std::ios::binary) << std::string(100000, 'x'); }
  ASSERT_TRUE(SaveImageFile(Path("old.raw"), image, kRaw));
  EXPECT_EQ(image.size_bytes(), Bytes(Path("old.raw")).size());
}

#ifndef MORVEX_WIN32
// A disk that fills up: every writer answers false and leaves no file.
TEST_F(Stills, FullDiskFailsEveryWriter) {
  CDibImage image;
  ASSERT_TRUE(image.Create(320, 256, 24));
  // Noise, so that no compressed format fits under the limit.
  uint32_t seed = 12345;
  for (size_t i = 0; i < image.size_bytes(); ++i)
    image.pixels()[i] = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 24);
  for (int32_t format = 0; format <= 6; ++format) {
    const std::string path = Path("full");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      signal(SIGXFSZ, SIG_IGN);
      rlimit limit{4096, 4096};
      setrlimit(RLIMIT_FSIZE, &limit);
      const bool saved = SaveImageFile(path, image, format);
      _exit(!saved && !Exists(path) ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "format " << format;
  }
}
#endif

}  // namespace
}  // namespace morvex::files
