// The per-user settings of the camera instance: capture format, size
// presets, analogue settings, image-processing and grey-level settings, kept
// in the registry of the current user (natively in the file-backed store).
//
// Layout under the base key:
//   Size_NN                  size presets searched by Morvex_SetCaptureWindow
//   Camera_NN                "Size", "Color", "SubSample", "WaitTime", "Clock"
//     Size_NN                the camera's size entries
//     Gain                   eleven DWORDs and the 8-byte "ExposureEx"
//     Filter                 ten DWORDs
//     Gray                   nine DWORDs
// Every operation opens the keys it needs and closes them before it returns;
// keys are created with full access and never deleted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "settings/image_settings_record.h"

namespace morvex::settings {

constexpr const char kBaseKey[] = "Software\\Quisto\\MorvexVelsaTEC3T2Sdk";
// The key the SDK keeps its settings under: kBaseKey in the test namespace.
std::string BaseKey();
constexpr int kMaxSizeEntries = 100;

// One size entry, the seven values in their registry order.
struct SizeEntry {
  int32_t th = 640;  // horizontal total
  int32_t tv = 512;  // vertical total
  int32_t eh = 640;  // capture width
  int32_t ev = 512;  // capture height
  int32_t ehs = 0;   // capture x offset
  int32_t evs = 0;   // capture y offset
  int32_t buf = 4;   // buffer count
};

// The five capture-format values of a camera key.
struct FormatValues {
  int32_t size = 0;   // index of the selected Size_NN entry
  int32_t color = 2;  // colour setting before correction
  int32_t subsample = 0;
  int32_t wait_time = 1;
  int32_t clock = 0;
};

// What the sensor allows: colour setting 0 is 8-bit output, 1 is 16-bit
// output, 2 is colour output.
struct ColorCapabilities {
  bool setting0 = false;
  bool setting1 = false;
  bool setting2 = false;
};

// The analogue-settings record in "Gain" value order.
struct AnalogueRecord {
  int32_t global = 0;
  int32_t color_g1 = 0;
  int32_t color_r = 0;
  int32_t color_b = 0;
  int32_t color_g2 = 0;
  int32_t exposure = 0;  // 0.1 ms units
  int32_t mirror_v = 0;
  int32_t mirror_h = 0;
  int32_t auto_iris = 0;
  int32_t gain_mode = 0;
  int32_t black_level = 0;
  double exposure_ex = 0.0;  // seconds
};
static_assert(sizeof(double) == 8, "ExposureEx is stored as an 8-byte IEEE double");
static_assert(offsetof(AnalogueRecord, black_level) == 40, "eleven DWORDs before ExposureEx");

// The sensor's values for a camera without a "Gain" key.
struct AnalogueDefaults {
  int32_t gain = 0;
  int32_t color_gain = 0;
  int32_t exposure = 0;
  int32_t mirror_v = 0;
  int32_t mirror_h = 0;
  int32_t black_level = 0;
  bool has_real_exposure = false;
  double real_exposure = 0.0;
};

// A stored colour setting corrected against what the sensor allows.
int32_t CorrectColorSetting(int32_t color, const ColorCapabilities& caps);

// The colour setting written on first use: colour when allowed, else 8-bit,
// and 16-bit winning when both grey depths are allowed.
int32_t FirstUseColorSetting(const ColorCapabilities& caps);

class RegistryStore {
 public:
  explicit RegistryStore(std::string base_key = BaseKey());

  const std::string& base_key() const { return base_key_; }
  // base\Camera_NN (camera -1 gives Camera_-1).
  std::string CameraKey(int32_t camera) const;

  // Reads the selected size entry of the camera into `size`. On first use
  // (no base key) creates the base key, the camera key, its Size_00 and the
  // five format values instead and answers 0 without reading. Any missing
  // key or value answers 0 and leaves `size` as it was.
  int32_t LoadFormat(int32_t camera, const ColorCapabilities& caps, SizeEntry* size);

  // "Color" (corrected when `caps` is given), "SubSample", "WaitTime",
  // "Clock"; a missing value leaves its field unchanged. 0 without the key.
  int32_t LoadColorAndTiming(int32_t camera, const ColorCapabilities* caps, FormatValues* format);

  // A missing DWORD takes the value read before it (0 for "Global"); a
  // missing "ExposureEx" reads as 0.0. Without the key the record gets the
  // sensor defaults and the answer is 0.
  int32_t LoadAnalogue(int32_t camera, const AnalogueDefaults& defaults, AnalogueRecord* record);
  int32_t SaveAnalogue(int32_t camera, const AnalogueRecord& record);

  // "Filter" into words 0-9 of the record, "Gray" into words 10-18; a value
  // missing from a present key takes its default. Without the "Filter" key
  // words 0-9 get their defaults and words 19-27 are cleared; without the
  // "Gray" key words 10-18 get theirs. Either answers 0 then.
  int32_t LoadImage(int32_t camera, ImageSettingsRecord* record);
  int32_t SaveImage(int32_t camera, const ImageSettingsRecord& record);
  int32_t LoadGrey(int32_t camera, ImageSettingsRecord* record);
  int32_t SaveGrey(int32_t camera, const ImageSettingsRecord& record);

  // The base key's Size_00, Size_01, ... up to the first missing one (at
  // most 100). False when the base key cannot be opened.
  bool ReadSizePresets(std::vector<SizeEntry>* presets);

  // The camera's own size entries (up to the first missing index, at most
  // 100) and its five format values, as the camera dialog shows them.
  std::vector<SizeEntry> ReadCameraSizes(int32_t camera, FormatValues* format);
  // Writes the entries as Size_00, Size_01, ... and the five format values.
  int32_t WriteCameraSizes(int32_t camera, const std::vector<SizeEntry>& sizes, const FormatValues& format);

  // The base key's "Trace" value: the trace categories to switch on, 0 when
  // it is missing.
  uint32_t TraceCategories() const;

 private:
  std::string base_key_;
};

}  // namespace morvex::settings
