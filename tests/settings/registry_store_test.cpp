#include "settings/registry_store.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "platform/settings_store.h"
#include "platform/test_namespace.h"
#include "paths.h"

namespace morvex::settings {
namespace {

constexpr ColorCapabilities kImx99x{true, true, false};       // 8-bit and 16-bit grey, no colour
constexpr ColorCapabilities kImx99xFast{true, false, false};  // fast-timing FPGA: no 16-bit
constexpr ColorCapabilities kEverything{true, true, true};

class Store : public ::testing::Test {
 protected:
  uint32_t Dword(const std::string& path, const char* name) {
    platform::SettingsKey key;
    EXPECT_TRUE(key.Open(path)) << path;
    uint32_t value = 0xDEADBEEF;
    EXPECT_TRUE(key.QueryDword(name, &value)) << path << " " << name;
    return value;
  }
  void Put(const std::string& path, const char* name, uint32_t value) {
    platform::SettingsKey key;
    ASSERT_TRUE(key.Create(path));
    ASSERT_TRUE(key.SetDword(name, value));
  }
  bool Exists(const std::string& path) {
    platform::SettingsKey key;
    return key.Open(path);
  }

  test::PrivateSettings private_;
  RegistryStore store_{private_.Path("MorvexVelsaTEC3T2Sdk")};
};

TEST(StoreNames, BaseKeyAndCameraKeys) {
  EXPECT_STREQ("Software\\Quisto\\MorvexVelsaTEC3T2Sdk", kBaseKey);
  // The default store lives in the process's test namespace (plain without one).
  EXPECT_EQ(platform::InTestNamespace(kBaseKey), RegistryStore().base_key());
  RegistryStore store{kBaseKey};
  EXPECT_EQ("Software\\Quisto\\MorvexVelsaTEC3T2Sdk\\Camera_07", store.CameraKey(7));
  EXPECT_EQ("Software\\Quisto\\MorvexVelsaTEC3T2Sdk\\Camera_-1", store.CameraKey(-1));
  EXPECT_EQ("Software\\Quisto\\MorvexVelsaTEC3T2Sdk\\Camera_12", store.CameraKey(12));
}

TEST_F(Store, FirstUseCreatesTheDefaultLayoutAndReadsNothing) {
  SizeEntry size{1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(0, store_.LoadFormat(-1, kImx99x, &size));
  // Nothing was read back into the caller's geometry.
  EXPECT_EQ(1, size.th);
  EXPECT_EQ(7, size.buf);

  const std::string camera = store_.CameraKey(-1);
  EXPECT_EQ(private_.Path("MorvexVelsaTEC3T2Sdk\\Camera_-1"), camera);
  const std::string size00 = camera + "\\Size_00";
  EXPECT_EQ(640u, Dword(size00, "TH"));
  EXPECT_EQ(512u, Dword(size00, "TV"));
  EXPECT_EQ(640u, Dword(size00, "EH"));
  EXPECT_EQ(512u, Dword(size00, "EV"));
  EXPECT_EQ(0u, Dword(size00, "EHS"));
  EXPECT_EQ(0u, Dword(size00, "EVS"));
  EXPECT_EQ(4u, Dword(size00, "Buf"));
  EXPECT_EQ(0u, Dword(camera, "Size"));
  EXPECT_EQ(1u, Dword(camera, "Color"));  // no colour output: 16-bit grey wins over 8-bit
  EXPECT_EQ(0u, Dword(camera, "SubSample"));
  EXPECT_EQ(1u, Dword(camera, "WaitTime"));
  EXPECT_EQ(0u, Dword(camera, "Clock"));
  EXPECT_FALSE(Exists(camera + "\\Gain"));

  // The second time the base key exists: the entry is read.
  EXPECT_EQ(1, store_.LoadFormat(-1, kImx99x, &size));
  EXPECT_EQ(640, size.th);
  EXPECT_EQ(512, size.ev);
  EXPECT_EQ(4, size.buf);
}

TEST(StoreColor, FirstUseColorFollowsTheCapabilities) {
  EXPECT_EQ(2, FirstUseColorSetting(kEverything));
  EXPECT_EQ(1, FirstUseColorSetting(kImx99x));
  EXPECT_EQ(0, FirstUseColorSetting(kImx99xFast));
  EXPECT_EQ(1, FirstUseColorSetting({false, true, false}));
  EXPECT_EQ(2, FirstUseColorSetting({false, false, false}));
}

TEST(StoreColor, StoredColorIsCorrectedAgainstTheSensor) {
  // A stored 2 on an IMX99x camera: 1 when 16-bit is allowed, else 0.
  EXPECT_EQ(1, CorrectColorSetting(2, kImx99x));
  EXPECT_EQ(0, CorrectColorSetting(2, kImx99xFast));
  // 0 and 3 need 8-bit output.
  EXPECT_EQ(0, CorrectColorSetting(0, kImx99x));
  EXPECT_EQ(1, CorrectColorSetting(3, {false, true, true}));
  EXPECT_EQ(2, CorrectColorSetting(0, {false, false, true}));
  // 1 needs 16-bit output.
  EXPECT_EQ(0, CorrectColorSetting(1, kImx99xFast));
  EXPECT_EQ(2, CorrectColorSetting(1, {true, false, true}));
  // Allowed values stay.
  for (int32_t color = 0; color < 4; ++color) EXPECT_EQ(color, CorrectColorSetting(color, kEverything));
  EXPECT_EQ(3, CorrectColorSetting(3, {true, false, true}));
}

TEST_F(Store, LoadFormatReadsTheSelectedEntry) {
  const std::string camera = store_.CameraKey(3);
  Put(camera, "Size", 1);
  const int32_t values[] = {800, 600, 320, 256, 16, 32, 6};
  const char* names[] = {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"};
  for (int i = 0; i < 7; ++i) Put(camera + "\\Size_01", names[i], static_cast<uint32_t>(values[i]));
  Put(camera + "\\Size_00", "EH", 111);
  SizeEntry size;
  EXPECT_EQ(1, store_.LoadFormat(3, kImx99x, &size));
  EXPECT_EQ(800, size.th);
  EXPECT_EQ(600, size.tv);
  EXPECT_EQ(320, size.eh);
  EXPECT_EQ(256, size.ev);
  EXPECT_EQ(16, size.ehs);
  EXPECT_EQ(32, size.evs);
  EXPECT_EQ(6, size.buf);
}

TEST_F(Store, LoadFormatWithMissingKeysLeavesTheGeometry) {
  Put(store_.CameraKey(0), "Size", 5);  // the base key now exists
  SizeEntry size{1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(0, store_.LoadFormat(0, kImx99x, &size));  // no Size_05
  EXPECT_EQ(0, store_.LoadFormat(1, kImx99x, &size));  // no Camera_01
  EXPECT_EQ(3, size.eh);
  EXPECT_FALSE(Exists(store_.CameraKey(1)));  // nothing created once the base key exists

  // A partial entry changes only the values it has.
  Put(store_.CameraKey(0) + "\\Size_05", "EV", 128);
  EXPECT_EQ(1, store_.LoadFormat(0, kImx99x, &size));
  EXPECT_EQ(128, size.ev);
  EXPECT_EQ(1, size.th);
  EXPECT_EQ(7, size.buf);
}

TEST_F(Store, ColorAndTimingCorrectsAndKeepsMissingValues) {
  const std::string camera = store_.CameraKey(0);
  FormatValues format;
  format.color = 9;
  format.subsample = 8;
  format.wait_time = 7;
  format.clock = 6;
  EXPECT_EQ(0, store_.LoadColorAndTiming(0, &kImx99x, &format));
  EXPECT_EQ(9, format.color);
  EXPECT_EQ(7, format.wait_time);

  Put(camera, "Color", 2);
  Put(camera, "WaitTime", 25);
  EXPECT_EQ(1, store_.LoadColorAndTiming(0, &kImx99x, &format));
  EXPECT_EQ(1, format.color);
  EXPECT_EQ(8, format.subsample);
  EXPECT_EQ(25, format.wait_time);
  EXPECT_EQ(6, format.clock);
  EXPECT_EQ(1, store_.LoadColorAndTiming(0, &kImx99xFast, &format));
  EXPECT_EQ(0, format.color);
  EXPECT_EQ(1, store_.LoadColorAndTiming(0, nullptr, &format));
  EXPECT_EQ(2, format.color);  // without a device nothing is corrected
}

TEST_F(Store, AnalogueRoundTripKeepsEveryValueAndTheDouble) {
  AnalogueRecord saved;
  saved.global = 40;
  saved.color_g1 = 1;
  saved.color_r = 2;
  saved.color_b = 3;
  saved.color_g2 = 4;
  saved.exposure = 333;
  saved.mirror_v = 1;
  saved.mirror_h = 0;
  saved.auto_iris = 2;
  saved.gain_mode = 1;
  saved.black_level = 60;
  saved.exposure_ex = 0.0333125;
  ASSERT_EQ(1, store_.SaveAnalogue(4, saved));

  const std::string gain = store_.CameraKey(4) + "\\Gain";
  platform::SettingsKey key;
  ASSERT_TRUE(key.Open(gain));
  EXPECT_EQ(platform::ValueType::kDword, key.TypeOf("BlackLevel"));
  EXPECT_EQ(platform::ValueType::kBinary, key.TypeOf("ExposureEx"));
  double raw = 0;
  uint32_t size = 0;
  ASSERT_TRUE(key.QueryBinary("ExposureEx", &raw, sizeof raw, &size));
  EXPECT_EQ(8u, size);
  EXPECT_EQ(0.0333125, raw);
  key.Close();

  AnalogueRecord loaded;
  EXPECT_EQ(1, store_.LoadAnalogue(4, AnalogueDefaults{}, &loaded));
  EXPECT_EQ(0, std::memcmp(&saved, &loaded, offsetof(AnalogueRecord, exposure_ex)));
  EXPECT_EQ(saved.exposure_ex, loaded.exposure_ex);
}

TEST_F(Store, MissingAnalogueValueTakesThePreviousOne) {
  const std::string gain = store_.CameraKey(0) + "\\Gain";
  Put(gain, "ColorG1", 17);
  Put(gain, "ColorB", 5);
  Put(gain, "H_Mirror", 1);
  AnalogueRecord record;
  record.exposure_ex = 9.0;
  EXPECT_EQ(1, store_.LoadAnalogue(0, AnalogueDefaults{}, &record));
  EXPECT_EQ(0, record.global);  // missing first value: 0
  EXPECT_EQ(17, record.color_g1);
  EXPECT_EQ(17, record.color_r);  // missing: ColorG1's value
  EXPECT_EQ(5, record.color_b);
  EXPECT_EQ(5, record.color_g2);
  EXPECT_EQ(5, record.exposure);
  EXPECT_EQ(5, record.mirror_v);
  EXPECT_EQ(1, record.mirror_h);
  EXPECT_EQ(1, record.auto_iris);
  EXPECT_EQ(1, record.gain_mode);
  EXPECT_EQ(1, record.black_level);
  EXPECT_EQ(0.0, record.exposure_ex);  // read into a zeroed buffer
}

TEST_F(Store, MissingGainKeyGivesTheSensorDefaults) {
  AnalogueDefaults defaults;
  defaults.gain = 12;
  defaults.color_gain = 0;
  defaults.exposure = 100;
  defaults.mirror_v = 1;
  defaults.mirror_h = 0;
  defaults.black_level = 60;
  defaults.has_real_exposure = true;
  defaults.real_exposure = 0.01;
  AnalogueRecord record;
  record.color_r = 99;
  record.auto_iris = 2;
  record.gain_mode = 1;
  EXPECT_EQ(0, store_.LoadAnalogue(2, defaults, &record));
  EXPECT_EQ(12, record.global);
  EXPECT_EQ(0, record.color_r);
  EXPECT_EQ(100, record.exposure);
  EXPECT_EQ(1, record.mirror_v);
  EXPECT_EQ(0, record.auto_iris);
  EXPECT_EQ(0, record.gain_mode);
  EXPECT_EQ(60, record.black_level);
  EXPECT_EQ(0.01, record.exposure_ex);

  // Without a real exposure time the double stays as it was.
  defaults.has_real_exposure = false;
  record.exposure_ex = 0.5;
  EXPECT_EQ(0, store_.LoadAnalogue(2, defaults, &record));
  EXPECT_EQ(0.5, record.exposure_ex);
  EXPECT_FALSE(Exists(store_.CameraKey(2)));  // loading creates nothing
}

TEST_F(Store, FilterAndGreyDefaultsAndRoundTrip) {
  ImageSettingsRecord record;
  record.brightness = -5;
  record.gamma = 7;
  record.gray_mode = 1;
  record.gray_offset[3] = 7;
  record.bayer_gain_auto = record.gray_auto_balance = record.reserved[6] = 1;
  record.dot_filter = record.mask_filter = 1;
  EXPECT_EQ(0, store_.LoadImage(0, &record));
  EXPECT_EQ(0, store_.LoadGrey(0, &record));
  const int32_t filter_defaults[] = {0, 0, 0, 0, 0, 100, 100, 100, 100, 3};
  EXPECT_EQ(0, std::memcmp(filter_defaults, &record, sizeof filter_defaults));
  EXPECT_EQ(0, record.gray_mode);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(128, record.gray_gain[i]);
    EXPECT_EQ(0, record.gray_offset[i]);  // neutral
  }
  EXPECT_EQ(0, record.bayer_gain_auto + record.gray_auto_balance + record.reserved[6]) << "words 19-27";
  EXPECT_EQ(2, record.dot_filter + record.mask_filter) << "the filter flags are not stored";

  ImageSettingsRecord f;
  int32_t words[19];
  for (int i = 0; i < 19; ++i) words[i] = i + 1;
  std::memcpy(reinterpret_cast<unsigned char*>(&f), words, sizeof words);
  ASSERT_EQ(1, store_.SaveImage(0, f));
  ASSERT_EQ(1, store_.SaveGrey(0, f));
  const std::string camera = store_.CameraKey(0);
  EXPECT_EQ(6u, Dword(camera + "\\Filter", "R_Gain"));
  EXPECT_EQ(10u, Dword(camera + "\\Filter", "BayerMode"));
  EXPECT_EQ(13u, Dword(camera + "\\Gray", "GainG1"));
  EXPECT_EQ(14u, Dword(camera + "\\Gray", "GainG2"));
  EXPECT_EQ(19u, Dword(camera + "\\Gray", "OffsetB1"));
  ImageSettingsRecord f2;
  f2.bayer_gain_auto = 1;
  EXPECT_EQ(1, store_.LoadImage(0, &f2));
  EXPECT_EQ(1, store_.LoadGrey(0, &f2));
  EXPECT_EQ(0, std::memcmp(&f, &f2, 19 * 4));
  EXPECT_EQ(1, f2.bayer_gain_auto) << "a present key keeps the words after Gray";
}

TEST_F(Store, SizeListsStopAtTheFirstGap) {
  std::vector<SizeEntry> presets;
  EXPECT_FALSE(store_.ReadSizePresets(&presets));  // no base key
  const std::string base = store_.base_key();
  Put(base + "\\Size_00", "EH", 320);
  Put(base + "\\Size_01", "EH", 160);
  Put(base + "\\Size_03", "EH", 80);
  ASSERT_TRUE(store_.ReadSizePresets(&presets));
  ASSERT_EQ(2u, presets.size());
  EXPECT_EQ(320, presets[0].eh);
  EXPECT_EQ(512, presets[0].ev);  // missing values keep the entry's defaults
  EXPECT_EQ(160, presets[1].eh);

  std::vector<SizeEntry> sizes(3);
  for (size_t i = 0; i < sizes.size(); ++i) sizes[i].eh = static_cast<int32_t>(100 + i);
  FormatValues format{2, 3, 1, 20, 2};
  ASSERT_EQ(1, store_.WriteCameraSizes(1, sizes, format));
  FormatValues read;
  std::vector<SizeEntry> list = store_.ReadCameraSizes(1, &read);
  ASSERT_EQ(3u, list.size());
  EXPECT_EQ(102, list[2].eh);
  EXPECT_EQ(2, read.size);
  EXPECT_EQ(3, read.color);
  EXPECT_EQ(1, read.subsample);
  EXPECT_EQ(20, read.wait_time);
  EXPECT_EQ(2, read.clock);
}

}  // namespace
}  // namespace morvex::settings
