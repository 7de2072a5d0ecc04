// Still-image files of one image: BMP, RAW, JPEG (three qualities), PNG and
// TIFF, chosen by the format number the application passes.
#pragma once

#include <cstdint>
#include <string>

namespace morvex::imaging {
class CDibImage;
}

namespace morvex::files {

enum StillFormat : int32_t {
  kBmp = 0,
  kRaw = 1,
  kJpegBest = 2,   // quality 100
  kJpegGood = 3,   // quality 70
  kJpegSmall = 4,  // quality 20
  kPng = 5,
  kTiff = 6,
};

// Writes `image` in format 0-6. False for any other format, a depth the
// format cannot take, a file that cannot be created, or any write error;
// a failed write leaves no file behind.
bool SaveImageFile(const std::string& path, const imaging::CDibImage& image, int32_t format);

// The writers, also used by the offline tool.
bool WriteBmp(const std::string& path, const imaging::CDibImage& image);
bool WriteRaw(const std::string& path, const imaging::CDibImage& image);
bool WriteJpeg(const std::string& path, const imaging::CDibImage& image, int32_t quality);
bool WritePng(const std::string& path, const imaging::CDibImage& image);
bool WriteTiff(const std::string& path, const imaging::CDibImage& image);

}  // namespace morvex::files
