#include "settings/registry_store.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/settings_store.h"
#include "platform/test_namespace.h"

namespace morvex::settings {

std::string BaseKey() { return platform::InTestNamespace(kBaseKey); }

namespace {

constexpr const char* kSizeNames[] = {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"};
constexpr const char* kAnalogueNames[] = {"Global",   "ColorG1",  "ColorR",    "ColorB",
                                          "ColorG2",  "Exposure", "V_Mirror",  "H_Mirror",
                                          "AutoIris", "GainMode", "BlackLevel"};
constexpr const char* kFilterNames[kFilterWords] = {"Brightness", "Contrast", "Hue",    "Saturation",
                                                    "Sharpness",  "R_Gain",   "G_Gain", "B_Gain",
                                                    "Gamma",      "BayerMode"};
constexpr const char* kGreyNames[kGreyWords] = {"Mode",     "GainR1",   "GainG1",   "GainG2",  "GainB1",
                                                "OffsetR1", "OffsetG1", "OffsetG2", "OffsetB1"};

std::string SubKey(const std::string& parent, const char* format, int32_t number) {
  char name[32];
  std::snprintf(name, sizeof name, format, static_cast<int>(number));
  return parent + "\\" + name;
}

// The fields of a record of consecutive int32 values, in registry order.
int32_t* SizeFields(SizeEntry* s) { return &s->th; }
const int32_t* SizeFields(const SizeEntry& s) { return &s.th; }
static_assert(sizeof(SizeEntry) == 7 * 4, "seven size values");
static_assert(offsetof(SizeEntry, buf) == 24, "size values in registry order");

bool ReadDword(const platform::SettingsKey& key, const char* name, int32_t* field) {
  uint32_t value = 0;
  if (!key.QueryDword(name, &value)) return false;
  *field = static_cast<int32_t>(value);
  return true;
}

bool WriteDwords(platform::SettingsKey& key, const char* const* names, const int32_t* values, size_t count) {
  bool ok = true;
  for (size_t i = 0; i < count; ++i) ok = key.SetDword(names[i], static_cast<uint32_t>(values[i])) && ok;
  return ok;
}

void ReadSizeEntry(const platform::SettingsKey& key, SizeEntry* entry) {
  int32_t* fields = SizeFields(entry);
  for (size_t i = 0; i < 7; ++i) ReadDword(key, kSizeNames[i], &fields[i]);
}

bool WriteFormat(platform::SettingsKey& key, const FormatValues& format) {
  const char* names[] = {"Size", "Color", "SubSample", "WaitTime", "Clock"};
  const int32_t values[] = {format.size, format.color, format.subsample, format.wait_time, format.clock};
  return WriteDwords(key, names, values, 5);
}

// Reads Size_00, Size_01, ... under `parent` until the first missing one.
std::vector<SizeEntry> ReadSizeList(const std::string& parent) {
  std::vector<SizeEntry> list;
  for (int32_t index = 0; index < kMaxSizeEntries; ++index) {
    platform::SettingsKey key;
    if (!key.Open(SubKey(parent, "Size_%02d", index))) break;
    SizeEntry entry;
    ReadSizeEntry(key, &entry);
    list.push_back(entry);
  }
  return list;
}

}  // namespace

int32_t CorrectColorSetting(int32_t color, const ColorCapabilities& caps) {
  if (!caps.setting0 && (color == 0 || color == 3)) color = caps.setting1 ? 1 : 2;
  if (!caps.setting2 && color == 2) color = caps.setting1 ? 1 : 0;
  if (!caps.setting1 && color == 1) color = caps.setting2 ? 2 : 0;
  return color;
}

int32_t FirstUseColorSetting(const ColorCapabilities& caps) {
  int32_t color = 2;
  if (!caps.setting2) {
    if (caps.setting0) color = 0;
    if (caps.setting1) color = 1;
  }
  return color;
}

RegistryStore::RegistryStore(std::string base_key) : base_key_(std::move(base_key)) {}

std::string RegistryStore::CameraKey(int32_t camera) const {
  return SubKey(base_key_, "Camera_%02d", camera);
}

int32_t RegistryStore::LoadFormat(int32_t camera, const ColorCapabilities& caps, SizeEntry* size) {
  platform::SettingsKey base;
  if (!base.Open(base_key_)) {
    // First use for this user: lay down the defaults, read nothing back.
    if (!base.Create(base_key_)) return 0;
    platform::SettingsKey camera_key;
    if (!camera_key.Create(CameraKey(camera))) return 0;
    platform::SettingsKey size_key;
    if (size_key.Create(SubKey(CameraKey(camera), "Size_%02d", 0))) {
      const SizeEntry defaults;
      WriteDwords(size_key, kSizeNames, SizeFields(defaults), 7);
    }
    FormatValues format;
    format.color = FirstUseColorSetting(caps);
    WriteFormat(camera_key, format);
    return 0;
  }
  platform::SettingsKey camera_key;
  if (!camera_key.Open(CameraKey(camera))) return 0;
  int32_t index = 0;
  if (!ReadDword(camera_key, "Size", &index)) return 0;
  platform::SettingsKey size_key;
  if (!size_key.Open(SubKey(CameraKey(camera), "Size_%02d", index))) return 0;
  ReadSizeEntry(size_key, size);
  return 1;
}

int32_t RegistryStore::LoadColorAndTiming(int32_t camera, const ColorCapabilities* caps,
                                          FormatValues* format) {
  platform::SettingsKey key;
  if (!key.Open(CameraKey(camera))) return 0;
  if (ReadDword(key, "Color", &format->color) && caps != nullptr)
    format->color = CorrectColorSetting(format->color, *caps);
  ReadDword(key, "SubSample", &format->subsample);
  ReadDword(key, "WaitTime", &format->wait_time);
  ReadDword(key, "Clock", &format->clock);
  return 1;
}

int32_t RegistryStore::LoadAnalogue(int32_t camera, const AnalogueDefaults& defaults,
                                    AnalogueRecord* record) {
  platform::SettingsKey key;
  if (!key.Open(CameraKey(camera) + "\\Gain")) {
    record->global = defaults.gain;
    record->color_g1 = record->color_r = record->color_b = record->color_g2 = defaults.color_gain;
    record->exposure = defaults.exposure;
    record->mirror_v = defaults.mirror_v;
    record->mirror_h = defaults.mirror_h;
    record->auto_iris = 0;
    record->gain_mode = 0;
    record->black_level = defaults.black_level;
    if (defaults.has_real_exposure) record->exposure_ex = defaults.real_exposure;
    return 0;
  }
  // One buffer for every DWORD, never reset: a missing value repeats the
  // value read before it.
  int32_t* fields[] = {&record->global,    &record->color_g1,  &record->color_r,    &record->color_b,
                       &record->color_g2,  &record->exposure,  &record->mirror_v,   &record->mirror_h,
                       &record->auto_iris, &record->gain_mode, &record->black_level};
  int32_t shared = 0;
  for (size_t i = 0; i < 11; ++i) {
    ReadDword(key, kAnalogueNames[i], &shared);
    *fields[i] = shared;
  }
  double seconds = 0.0;
  uint32_t stored = 0;
  if (!key.QueryBinary("ExposureEx", &seconds, sizeof seconds, &stored)) seconds = 0.0;
  record->exposure_ex = seconds;
  return 1;
}

int32_t RegistryStore::SaveAnalogue(int32_t camera, const AnalogueRecord& record) {
  platform::SettingsKey key;
  if (!key.Create(CameraKey(camera) + "\\Gain")) return 0;
  const int32_t values[] = {record.global,    record.color_g1,  record.color_r,    record.color_b,
                            record.color_g2,  record.exposure,  record.mirror_v,   record.mirror_h,
                            record.auto_iris, record.gain_mode, record.black_level};
  bool ok = WriteDwords(key, kAnalogueNames, values, 11);
  ok = key.SetBinary("ExposureEx", &record.exposure_ex, sizeof record.exposure_ex) && ok;
  return ok ? 1 : 0;
}

namespace {

static_assert(kGreyWords <= kFilterWords, "one word buffer serves both blocks");

// Reads `count` words of the record from `offset`, each starting from its default.
int32_t LoadWords(const std::string& key_name, const char* const* names, const int32_t* defaults,
                  size_t count, size_t offset, ImageSettingsRecord* record) {
  int32_t words[kFilterWords];
  std::memcpy(words, defaults, count * 4);
  platform::SettingsKey key;
  const bool present = key.Open(key_name);
  if (present)
    for (size_t i = 0; i < count; ++i) ReadDword(key, names[i], &words[i]);
  std::memcpy(reinterpret_cast<unsigned char*>(record) + offset, words, count * 4);
  return present ? 1 : 0;
}

int32_t SaveWords(const std::string& key_name, const char* const* names, size_t count, size_t offset,
                  const ImageSettingsRecord& record) {
  int32_t words[kFilterWords];
  std::memcpy(words, reinterpret_cast<const unsigned char*>(&record) + offset, count * 4);
  platform::SettingsKey key;
  if (!key.Create(key_name)) return 0;
  return WriteDwords(key, names, words, count) ? 1 : 0;
}

}  // namespace

int32_t RegistryStore::LoadImage(int32_t camera, ImageSettingsRecord* record) {
  const int32_t found = LoadWords(CameraKey(camera) + "\\Filter", kFilterNames, kFilterDefaults, kFilterWords,
                                  kFilterOffset, record);
  if (!found) std::memset(reinterpret_cast<unsigned char*>(record) + kClearedOffset, 0, kClearedWords * 4);
  return found;
}

int32_t RegistryStore::SaveImage(int32_t camera, const ImageSettingsRecord& record) {
  return SaveWords(CameraKey(camera) + "\\Filter", kFilterNames, kFilterWords, kFilterOffset, record);
}

int32_t RegistryStore::LoadGrey(int32_t camera, ImageSettingsRecord* record) {
  return LoadWords(CameraKey(camera) + "\\Gray", kGreyNames, kGreyDefaults, kGreyWords, kGreyOffset, record);
}

int32_t RegistryStore::SaveGrey(int32_t camera, const ImageSettingsRecord& record) {
  return SaveWords(CameraKey(camera) + "\\Gray", kGreyNames, kGreyWords, kGreyOffset, record);
}

uint32_t RegistryStore::TraceCategories() const {
  platform::SettingsKey base;
  uint32_t categories = 0;
  if (!base.Open(base_key_) || !base.QueryDword("Trace", &categories)) return 0;
  return categories;
}

bool RegistryStore::ReadSizePresets(std::vector<SizeEntry>* presets) {
  {
    platform::SettingsKey base;
    if (!base.Open(base_key_)) return false;
  }
  *presets = ReadSizeList(base_key_);
  return true;
}

std::vector<SizeEntry> RegistryStore::ReadCameraSizes(int32_t camera, FormatValues* format) {
  platform::SettingsKey key;
  if (key.Open(CameraKey(camera))) {
    ReadDword(key, "Size", &format->size);
    ReadDword(key, "Color", &format->color);
    ReadDword(key, "SubSample", &format->subsample);
    ReadDword(key, "WaitTime", &format->wait_time);
    ReadDword(key, "Clock", &format->clock);
  }
  return ReadSizeList(CameraKey(camera));
}

int32_t RegistryStore::WriteCameraSizes(int32_t camera, const std::vector<SizeEntry>& sizes,
                                        const FormatValues& format) {
  platform::SettingsKey camera_key;
  if (!camera_key.Create(CameraKey(camera))) return 0;
  bool ok = true;
  for (size_t index = 0; index < sizes.size() && index < static_cast<size_t>(kMaxSizeEntries); ++index) {
    platform::SettingsKey size_key;
    if (!size_key.Create(SubKey(CameraKey(camera), "Size_%02d", static_cast<int32_t>(index)))) {
      ok = false;
      continue;
    }
    ok = WriteDwords(size_key, kSizeNames, SizeFields(sizes[index]), 7) && ok;
  }
  ok = WriteFormat(camera_key, format) && ok;
  return ok ? 1 : 0;
}

}  // namespace morvex::settings
