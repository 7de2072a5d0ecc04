// The still-image writers with any geometry, depth, significant bits, colour
// table and format. A save that answers true leaves a complete file; one
// that answers false leaves none; every valid image saves in every format.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/still_image.h"
#include "fuzz_support.h"
#include "imaging/dib_image.h"

namespace {

using morvex::imaging::CDibImage;

constexpr uint64_t kMaxPixelBytes = 8u << 20;  // keeps one run fast
constexpr int32_t kJpegMaxDimension = 65500;
constexpr int32_t kPngMaxDimension = 1000000;  // libpng's limit on what it writes

bool ValidDepth(int32_t bits) {
  return bits == 8 || bits == 16 || bits == 24 || bits == 32 || bits == 48 || bits == 64;
}

int64_t FileSize(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

int32_t Dimension(morvex::fuzz::FuzzInput& in) {
  const uint8_t kind = in.Byte();
  if (kind < 200) return 1 + kind % 64;  // mostly small
  return in.Value();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  morvex::fuzz::UsePrivateScratch("still_image");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  morvex::fuzz::FuzzInput in(data, size);
  const int32_t width = Dimension(in);
  const int32_t height = Dimension(in);
  static const int32_t kDepths[] = {8, 16, 24, 32, 48, 64, 0, 1, 4, 12, 40, 65535};
  const uint8_t depth_pick = in.Byte();
  const int32_t bits = depth_pick < 240 ? kDepths[depth_pick % 6] : kDepths[depth_pick % 12];
  const uint8_t format_pick = in.Byte();
  const int32_t format = format_pick < 240 ? format_pick % 7 : in.Value();
  const int32_t significant = in.Bool() ? in.Value() : 12 + in.Byte() % 5;

  CDibImage image;
  const int64_t stride = width > 0 ? (static_cast<int64_t>(width) * (bits / 8) + 3) & ~int64_t{3} : 0;
  const bool addressable = width > 0 && height > 0 && stride > 0 && stride <= INT32_MAX &&
                           stride * static_cast<int64_t>(height) <= INT32_MAX;
  const bool valid = addressable && ValidDepth(bits);
  if (valid && static_cast<uint64_t>(stride) * static_cast<uint64_t>(height) > kMaxPixelBytes) return 0;
  const bool created = image.Create(width, height, static_cast<uint16_t>(bits));
  if (created != valid) std::abort();
  if (created) {
    image.set_significant_bits(significant);
    if (bits == 8 && in.Bool()) {
      morvex::imaging::DibColour entries[256];
      size_t taken = 0;
      const uint8_t* bytes = in.Take(sizeof(entries), &taken);
      std::memset(entries, 0, sizeof(entries));
      std::memcpy(entries, bytes, taken);
      image.SetColourTable(2, entries, in.Byte(), in.U16() % 300);
    }
    // The rest of the input repeated over the pixels.
    size_t taken = 0;
    const uint8_t* pixels = in.Take(in.remaining(), &taken);
    if (taken)
      for (size_t i = 0; i < image.size_bytes(); ++i) image.pixels()[i] = pixels[i % taken];
  }

  const std::string path = morvex::fuzz::ScratchDir() + "/still.img";
  std::remove(path.c_str());
  const bool saved = morvex::files::SaveImageFile(path, image, format);
  const int64_t written = FileSize(path);
  if (saved != (written > 0)) std::abort();  // true with a file, false without one
  if (created && format >= 0 && format <= 6) {
    const bool jpeg = format >= 2 && format <= 4;
    const int32_t limit = jpeg ? kJpegMaxDimension : format == 5 ? kPngMaxDimension : INT32_MAX;
    const bool expected = width <= limit && height <= limit;
    if (saved != expected) std::abort();
    const int64_t pixel_bytes = static_cast<int64_t>(image.size_bytes());
    if (format == 1 && written != pixel_bytes) std::abort();
    if (format == 0 && written != pixel_bytes + (bits <= 8 ? 1078 : 54)) std::abort();
  }
  std::remove(path.c_str());
  return 0;
}
