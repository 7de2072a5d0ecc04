// Still images saved through the shipped library, loaded the way an
// application loads it, against the emulator's ramp: every format read back
// with an independent reader (libpng, libjpeg and libtiff decoding; BMP and
// RAW byte by byte) holds the snapshot the application received.
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "MorvexSdk.h"
#include "platform/settings_store.h"
#include "sdk_library.h"
#include "paths.h"

namespace {

using morvex::platform::SettingsKey;

const std::string& kSdkKey = morvex::test::SdkKey();
const std::string& kEmulatorKey = morvex::test::EmulatorKey();
constexpr int kWidth = 640;
constexpr int kHeight = 512;

std::vector<uint8_t> Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The picture as the application received it, one value per pixel.
using Picture = std::vector<uint32_t>;

Picture FromSnapshot(const std::vector<uint8_t>& buffer, int bits) {
  Picture picture(kWidth * kHeight);
  for (int i = 0; i < kWidth * kHeight; ++i)
    picture[i] = bits == 8 ? buffer[i] : static_cast<uint32_t>(buffer[2 * i] | buffer[2 * i + 1] << 8);
  return picture;
}

Picture FromPng(const std::string& path, int bits) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return {};
  EXPECT_EQ(static_cast<uint32_t>(bits), PNG_IMAGE_SAMPLE_COMPONENT_SIZE(png.format) * 8);
  png.format = bits == 16 ? PNG_FORMAT_LINEAR_Y : PNG_FORMAT_GRAY;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) return {};
  Picture picture(kWidth * kHeight);
  for (int i = 0; i < kWidth * kHeight; ++i)
    picture[i] = bits == 8 ? pixels[i] : reinterpret_cast<const uint16_t*>(pixels.data())[i];
  return picture;
}

Picture FromTiff(const std::string& path, int bits) {
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (tiff == nullptr) return {};
  // libtiff reads a large single strip in pieces of its own choosing.
  std::vector<uint8_t> data;
  std::vector<uint8_t> strip(static_cast<size_t>(TIFFStripSize(tiff)));
  for (uint32_t s = 0; s < TIFFNumberOfStrips(tiff); ++s) {
    const tmsize_t read = TIFFReadEncodedStrip(tiff, s, strip.data(), static_cast<tmsize_t>(strip.size()));
    if (read <= 0) break;
    data.insert(data.end(), strip.begin(), strip.begin() + read);
  }
  TIFFClose(tiff);
  if (data.size() != static_cast<size_t>(kWidth * kHeight * bits / 8)) return {};
  return FromSnapshot(data, bits);
}

// BMP and RAW carry the image's own rows: BMP bottom row first after its
// headers (and the 8-bit palette), RAW top row first.
Picture FromRows(const std::vector<uint8_t>& file, size_t offset, bool bottom_up, int bits) {
  const size_t row_bytes = static_cast<size_t>(kWidth * bits / 8);
  if (file.size() != offset + row_bytes * kHeight) return {};
  std::vector<uint8_t> top_down(row_bytes * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    const size_t from = offset + row_bytes * static_cast<size_t>(bottom_up ? kHeight - 1 - y : y);
    std::copy(file.begin() + static_cast<std::ptrdiff_t>(from),
              file.begin() + static_cast<std::ptrdiff_t>(from + row_bytes), top_down.begin() + row_bytes * y);
  }
  return FromSnapshot(top_down, bits);
}

Picture FromJpeg(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return {};
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);
  Picture picture;
  if (info.output_width == kWidth && info.output_height == kHeight && info.output_components == 1) {
    std::vector<uint8_t> line(kWidth);
    for (int y = 0; y < kHeight; ++y) {
      JSAMPROW row = line.data();
      jpeg_read_scanlines(&info, &row, 1);
      picture.insert(picture.end(), line.begin(), line.end());
    }
  }
  jpeg_abort_decompress(&info);
  jpeg_destroy_decompress(&info);
  std::fclose(file);
  return picture;
}

class StillLibrary : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SettingsKey::DeleteTree(kSdkKey);
    SettingsKey::DeleteTree(kEmulatorKey);
    SettingsKey key, camera;
    ASSERT_TRUE(key.Create(kEmulatorKey));
    ASSERT_TRUE(key.SetDword("Cameras", 1));
    ASSERT_TRUE(camera.Create(kEmulatorKey + "\\Camera_00"));
    ASSERT_TRUE(camera.SetDword("Scene", 1));  // the ramp
  }
  static void TearDownTestSuite() {
    SettingsKey::DeleteTree(kSdkKey);
    SettingsKey::DeleteTree(kEmulatorKey);
  }
  void TearDown() override {
    for (const std::string& path : created_) std::remove(path.c_str());
  }
  std::string Path(const char* name) {
    created_.push_back(morvex::test::TempPath(name));
    return created_.back();
  }
  std::vector<std::string> created_;
};

TEST_F(StillLibrary, EveryFormatReadsBackAsTheSnapshot) {
  static morvex::test::SdkLibrary sdk;  // kept until exit
  ASSERT_TRUE(sdk.loaded());
  auto initialize = sdk.Get<decltype(Morvex_Initialize)>("Morvex_Initialize");
  auto release = sdk.Get<decltype(Morvex_Release)>("Morvex_Release");
  auto set_colour_mode = sdk.Get<decltype(Morvex_SetColorMode)>("Morvex_SetColorMode");
  auto snapshot = sdk.Get<decltype(Morvex_SnapShot)>("Morvex_SnapShot");
  auto save = sdk.Get<decltype(Morvex_SaveImage)>("Morvex_SaveImage");
  const int camera = initialize(nullptr);
  ASSERT_NE(0, camera);
  for (const int bits : {8, 16}) {
    SCOPED_TRACE(bits);
    ASSERT_EQ(1, set_colour_mode(camera, bits));
    std::vector<uint8_t> buffer(static_cast<size_t>(kWidth * kHeight * bits / 8));
    ASSERT_EQ(1, snapshot(camera, buffer.data(), static_cast<int>(buffer.size()), 1));
    const Picture expected = FromSnapshot(buffer, bits);
    ASSERT_NE(expected.front(), expected[kWidth - 1]) << "the ramp";

    const std::string bmp = Path("still.bmp"), raw = Path("still.raw"), png = Path("still.png"),
                      tiff = Path("still.tif");
    ASSERT_EQ(1, save(camera, bmp.c_str(), MORVEX_IMAGE_BMP));
    ASSERT_EQ(1, save(camera, raw.c_str(), MORVEX_IMAGE_RAW));
    ASSERT_EQ(1, save(camera, png.c_str(), MORVEX_IMAGE_PNG));
    ASSERT_EQ(1, save(camera, tiff.c_str(), MORVEX_IMAGE_TIFF));
    EXPECT_TRUE(FromRows(Bytes(bmp), bits == 8 ? 1078 : 54, true, bits) == expected) << "BMP";
    EXPECT_TRUE(FromRows(Bytes(raw), 0, false, bits) == expected) << "RAW";
    EXPECT_TRUE(FromPng(png, bits) == expected) << "PNG";
    EXPECT_TRUE(FromTiff(tiff, bits) == expected) << "TIFF";

    // JPEG is an 8-bit view: the top 8 of the camera's 12 bits.
    const struct {
      int format;
      double mean_error;
    } jpegs[] = {
        {MORVEX_IMAGE_JPEG_FINE, 1.0}, {MORVEX_IMAGE_JPEG_NORMAL, 3.0}, {MORVEX_IMAGE_JPEG_SMALL, 8.0}};
    for (const auto& jpeg : jpegs) {
      const std::string path = Path("still.jpg");
      ASSERT_EQ(1, save(camera, path.c_str(), jpeg.format)) << jpeg.format;
      const Picture decoded = FromJpeg(path);
      ASSERT_EQ(expected.size(), decoded.size()) << jpeg.format;
      double error = 0;
      for (size_t i = 0; i < decoded.size(); ++i)
        error += std::abs(static_cast<double>(decoded[i]) - (bits == 8 ? expected[i] : expected[i] >> 4));
      EXPECT_LT(error / static_cast<double>(decoded.size()), jpeg.mean_error)
          << "JPEG format " << jpeg.format;
    }

    for (const int format : {-1, 7}) {
      const std::string path = Path("refused.bmp");
      EXPECT_EQ(0, save(camera, path.c_str(), format));
      EXPECT_FALSE(std::ifstream(path).good()) << "format " << format << " writes nothing";
    }
  }
  release(camera);
}

}  // namespace
