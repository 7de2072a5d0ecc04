// The image-settings record: every value the frame pipeline reads from the
// camera instance, 30 words in a fixed layout. The store reads and writes
// its first nineteen words as the "Filter" and "Gray" values, in order; the
// image dialog copies the whole record and puts it back on Cancel.
#pragma once

#include <cstddef>
#include <cstdint>

namespace morvex::settings {

struct ImageSettingsRecord {
  // Words 0-9: the "Filter" values.
  int32_t brightness = 0;
  int32_t contrast = 0;
  int32_t hue = 0;
  int32_t saturation = 0;
  int32_t sharpness = 0;
  int32_t bayer_gain_red = 0;
  int32_t bayer_gain_green = 0;
  int32_t bayer_gain_blue = 0;
  int32_t gamma = 0;
  int32_t bayer_mode = 0;
  // Words 10-18: the "Gray" values; gains and offsets R, G1, G2, B.
  int32_t gray_mode = 0;
  int32_t gray_gain[4] = {0, 0, 0, 0};
  int32_t gray_offset[4] = {0, 0, 0, 0};
  // Words 19-27 are cleared with the "Filter" defaults.
  int32_t bayer_gain_auto = 0;    // white balance on every frame
  int32_t gray_auto_balance = 0;  // grey balance on the next frame only
  int32_t reserved[7] = {0, 0, 0, 0, 0, 0, 0};
  // Words 28-29.
  int32_t dot_filter = 0;
  int32_t mask_filter = 0;
};

constexpr size_t kFilterWords = 10;
constexpr size_t kGreyWords = 9;
constexpr size_t kFilterOffset = 0;
constexpr size_t kGreyOffset = kFilterWords * 4;
constexpr size_t kClearedOffset = kGreyOffset + kGreyWords * 4;
constexpr size_t kClearedWords = 9;

static_assert(sizeof(ImageSettingsRecord) == 120, "image-settings record size");
static_assert(offsetof(ImageSettingsRecord, brightness) == kFilterOffset, "Filter words first");
static_assert(offsetof(ImageSettingsRecord, sharpness) == 16, "image-settings layout");
static_assert(offsetof(ImageSettingsRecord, bayer_gain_red) == 20, "image-settings layout");
static_assert(offsetof(ImageSettingsRecord, gamma) == 32, "image-settings layout");
static_assert(offsetof(ImageSettingsRecord, bayer_mode) == 36, "image-settings layout");
static_assert(offsetof(ImageSettingsRecord, gray_mode) == kGreyOffset, "Gray words follow the Filter words");
static_assert(offsetof(ImageSettingsRecord, gray_gain) == 44, "image-settings layout");
static_assert(offsetof(ImageSettingsRecord, gray_offset) == 60, "image-settings layout");
static_assert(offsetof(ImageSettingsRecord, bayer_gain_auto) == kClearedOffset, "nine words follow Gray");
static_assert(offsetof(ImageSettingsRecord, gray_auto_balance) == 80, "image-settings layout");
static_assert(offsetof(ImageSettingsRecord, dot_filter) == kClearedOffset + kClearedWords * 4,
              "the filter flags follow the cleared words");
static_assert(offsetof(ImageSettingsRecord, mask_filter) == 116, "image-settings layout");

// What a camera without a "Filter" or "Gray" key starts from. Without a
// stored key the grey offsets are the pipeline's neutral 0: an offset of
// 128 would lift every pixel once grey mode 1 is chosen.
constexpr int32_t kFilterDefaults[kFilterWords] = {0, 0, 0, 0, 0, 100, 100, 100, 100, 3};
constexpr int32_t kGreyDefaults[kGreyWords] = {0, 128, 128, 128, 128, 0, 0, 0, 0};

}  // namespace morvex::settings
