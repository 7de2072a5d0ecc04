// Exports on a camera instance without a device object, the values that
// need no device, the wide-path twins, the cached filter values and the
// configuration file.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MorvexSdk.h"
#include "camera/image_settings.h"
#include "camera/morvex.h"

namespace morvex {
namespace {

class NoDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h_ = Morvex_Initialize(nullptr);
    ASSERT_NE(h_, 0);
  }
  void TearDown() override { EXPECT_EQ(Morvex_Release(h_), 1); }

  // The codes recorded since the last call, newest first.
  std::vector<int> Codes() {
    std::vector<int> codes;
    for (int code; (code = Morvex_GetLastError(h_)) != 0;) codes.push_back(code);
    return codes;
  }
  using Codes_t = std::vector<int>;

  int h_ = 0;
};

TEST_F(NoDeviceTest, CameraOperationsRecordNotReady) {
  const Codes_t not_ready{MORVEX_ERR_NOT_READY};
  char names[10 * 256];
  wchar_t wide_names[10 * 256];
  char buffer[64];
  int flag = 1;
  MORVEX_CAMERA_INFO info{};
  info.size = sizeof(info);
  // clang-format off
  EXPECT_EQ(Morvex_EnumDevice(h_, names), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_EnumDeviceW(h_, wide_names), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_GetDeviceName(h_, 0, buffer, sizeof(buffer)), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_SetDeviceNumber(h_, 0), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_GetCameraInfo(h_, &info), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_SetCaptureWindow(h_, 640, 512), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_SetCaptureWindowEx(h_, 640, 0, 640, 512, 0, 512), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_StartPreview(h_), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_StopPreview(h_), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_Capture(h_), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_SnapShot(h_, buffer, sizeof(buffer), 1), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_Trigger(h_, nullptr, buffer, sizeof(buffer), 1), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_GetImage(h_, buffer, sizeof(buffer), 1), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_SetPreviewWindow(h_, nullptr, 0, 0, 320, 256), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_GetFilterValue(h_, MORVEX_FILTER_BRIGHTNESS, &flag), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(Morvex_SetBrightness(h_, 10), 0); EXPECT_EQ(Codes(), not_ready);
  flag = 1;
  EXPECT_EQ(Morvex_GetTemperature(h_, &flag), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(flag, 0);
  flag = 1;
  EXPECT_EQ(Morvex_GetExposureTimeEx(h_, &flag), -1.0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(Morvex_SetExposureTimeEx(h_, 0.5), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_GetRealExposureTime(h_, &flag), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_SetRealExposureTime(h_, 5000), 0); EXPECT_EQ(Codes(), not_ready);
  flag = 1;
  EXPECT_EQ(Morvex_GetTemperatureEx(h_, &flag), 0.0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(Morvex_GetMirrorH(h_), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_SetMirrorH(h_, 1), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_GetInternalCorrection(h_, &flag), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_SetInternalCorrection(h_, 1), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_SetCameraDlg(h_, nullptr), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_SetAnalogDlg(h_, nullptr), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_SetImageDlg(h_, nullptr), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_LoadMaskFile(h_, "mask.msk"), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_SaveMaskFile(h_, "mask.msk"), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_UpdateMaskData(h_, 0), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_SaveImage(h_, "image.bmp", MORVEX_IMAGE_BMP), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_ReadRegister(h_, 1, &flag), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_WriteRegisterEx(h_, 1, 1), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_Fpga_ReadRegister(h_, 1, &flag), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_Fpga_WriteRegister(h_, 1, 1), 0); EXPECT_EQ(Codes(), not_ready);
  EXPECT_EQ(Morvex_ReadSerialNumberA(h_, buffer, sizeof(buffer)), 0); EXPECT_EQ(Codes(), not_ready);
  // clang-format on
}

TEST_F(NoDeviceTest, FailedStartsReportTheirOwnCodeAfterTheCause) {
  // Preview: the start fails (not ready), the close stops (not ready again),
  // then the preview reports the failed acquisition.
  EXPECT_EQ(Morvex_Preview(h_), 0);
  EXPECT_EQ(Codes(), (Codes_t{MORVEX_ERR_ACQUISITION, MORVEX_ERR_NOT_READY, MORVEX_ERR_NOT_READY}));
  char buffer[16];
  EXPECT_EQ(Morvex_CallBackPreview(h_, nullptr, buffer, sizeof(buffer), 0), 0);
  EXPECT_EQ(Codes(), (Codes_t{MORVEX_ERR_ACQUISITION, MORVEX_ERR_NOT_READY, MORVEX_ERR_NOT_READY}));
  EXPECT_EQ(Morvex_Record(h_, "video.avi", 1000, 0), 0);
  EXPECT_EQ(Codes(), (Codes_t{MORVEX_ERR_FILE, MORVEX_ERR_NOT_READY}));
  EXPECT_EQ(Morvex_Record(h_, "", 1000, 0), 0);
  EXPECT_EQ(Morvex_Record(h_, nullptr, 1000, 0), 0);
  EXPECT_EQ(Codes(), (Codes_t{MORVEX_ERR_ARGUMENT, MORVEX_ERR_ARGUMENT}));
  // Close goes on without a device and reports success.
  EXPECT_EQ(Morvex_Close(h_), 1);
  EXPECT_EQ(Codes(), (Codes_t{MORVEX_ERR_NOT_READY}));
}

TEST_F(NoDeviceTest, GeometryAndModesNeedNoDevice) {
  EXPECT_EQ(Morvex_Width(h_), 640);
  EXPECT_EQ(Morvex_Height(h_), 512);
  int th = -1, x = -1, w = -1, tv = -1, y = -1, ht = -1;
  EXPECT_EQ(Morvex_GetCaptureWindowEx(h_, &th, &x, &w, &tv, &y, &ht), 1);
  EXPECT_EQ((std::vector<int>{th, x, w, tv, y, ht}), (std::vector<int>{640, 0, 640, 512, 0, 512}));
  EXPECT_EQ(Morvex_GetCaptureWindowEx(h_, nullptr, nullptr, &w, nullptr, nullptr, nullptr), 1);

  EXPECT_EQ(Morvex_GetSubSample(h_), 0);
  EXPECT_EQ(Morvex_SetSubSample(h_, 1), 1);
  EXPECT_EQ(Morvex_GetSubSample(h_), 1);
  EXPECT_EQ(Morvex_SetSubSample(h_, 2), 0);
  EXPECT_EQ(Morvex_GetSubSample(h_), 1);
  EXPECT_EQ(Morvex_Width(h_), 640) << "the width is not divided by subsampling";

  EXPECT_EQ(Morvex_GetColorMode(h_), 8);
  EXPECT_EQ(Morvex_SetColorMode(h_, 48), 1);
  EXPECT_EQ(Morvex_GetColorMode(h_), 48);
  EXPECT_EQ(Morvex_SetColorMode(h_, 12), 0);
  EXPECT_EQ(Morvex_GetColorMode(h_), 48);
  EXPECT_EQ(Codes(), (Codes_t{MORVEX_ERR_ARGUMENT}));

  EXPECT_EQ(Morvex_GetWaitTime(h_), 10);
  EXPECT_EQ(Morvex_SetWaitTime(h_, -1), 0);
  EXPECT_EQ(Morvex_SetWaitTime(h_, 0), 1);
  EXPECT_EQ(Morvex_GetWaitTime(h_), 0);

  int rate = 7, format = 7;
  EXPECT_EQ(Morvex_GetSamplingRate(h_, &rate), 0);
  EXPECT_EQ(Morvex_GetVideoFormat(h_, &format), 0);
  EXPECT_EQ(rate, 0);
  EXPECT_EQ(format, 0);
  EXPECT_EQ(Morvex_GetVideoFormat(h_, nullptr), 0);
  EXPECT_EQ(Morvex_SetSamplingRate(h_, 5), 0);
  EXPECT_EQ(Codes(), Codes_t{}) << "refused subsample, wait time and sampling rate record nothing";
}

TEST_F(NoDeviceTest, AutoIrisAndChannelsNeedNoDevice) {
  int flag = 0;
  EXPECT_EQ(Morvex_GetAutoIris(h_, &flag), 0);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(Morvex_SetAutoIris(h_, 2), 1);
  EXPECT_EQ(Morvex_GetAutoIris(h_, nullptr), 2);
  EXPECT_EQ(Morvex_SetAutoIris(h_, 3), 0);
  EXPECT_EQ(Morvex_SetAutoIris(h_, -1), 0);
  EXPECT_EQ(Morvex_GetAutoIris(h_, nullptr), 2);
  // Channels outside 1-4 answer 0 and record nothing.
  EXPECT_EQ(Morvex_GetChannelGain(h_, 5, &flag), 0);
  EXPECT_EQ(Morvex_SetChannelOffset(h_, 0, 1), 0);
  EXPECT_EQ(Codes(), Codes_t{});
  EXPECT_EQ(Morvex_GetChannelGain(h_, 1, &flag), 0);
  EXPECT_EQ(Codes(), (Codes_t{MORVEX_ERR_NOT_READY}));
}

TEST_F(NoDeviceTest, SerialNumberBufferIsCheckedBeforeTheDevice) {
  char buffer[31];
  EXPECT_EQ(Morvex_ReadSerialNumberA(h_, buffer, 31), 0);
  EXPECT_EQ(Codes(), (Codes_t{MORVEX_ERR_ARGUMENT}));
}

TEST_F(NoDeviceTest, WideTextGettersFailWhenTheNarrowStepFails) {
  wchar_t name[64] = L"unchanged";
  EXPECT_EQ(Morvex_GetDeviceNameW(h_, 0, name, 64), 0);
  EXPECT_EQ(std::wstring(name), L"unchanged");
  EXPECT_EQ(Codes(), (Codes_t{MORVEX_ERR_NOT_READY}));
  wchar_t serial[64] = L"unchanged";
  EXPECT_EQ(Morvex_ReadSerialNumberW(h_, serial, 64), 0);
  EXPECT_EQ(std::wstring(serial), L"unchanged");
  EXPECT_EQ(Codes(), (Codes_t{MORVEX_ERR_NOT_READY}));
}

// Wide paths become narrow in a 1024-byte buffer: 1023 characters and the
// terminator fit, one more does not.
TEST_F(NoDeviceTest, WidePathsThatDoNotFitRecordFileErrors) {
  const std::wstring fits(1023, L'a');
  const std::wstring too_long(1024, L'a');
  using WideCall = int (*)(int, const wchar_t*);
  struct Twin {
    const char* name;
    WideCall call;
    Codes_t narrow_codes;  // what the narrow operation records here
  };
  const Twin twins[] = {
      {"LoadMaskFileW",
       [](int h, const wchar_t* p) { return Morvex_LoadMaskFileW(h, p); },
       {MORVEX_ERR_NOT_READY}},
      {"SaveMaskFileW",
       [](int h, const wchar_t* p) { return Morvex_SaveMaskFileW(h, p); },
       {MORVEX_ERR_NOT_READY}},
      {"SaveImageW",
       [](int h, const wchar_t* p) { return Morvex_SaveImageW(h, p, MORVEX_IMAGE_BMP); },
       {MORVEX_ERR_NOT_READY}},
      {"RecordW",
       [](int h, const wchar_t* p) { return Morvex_RecordW(h, p, 1000, 0); },
       {MORVEX_ERR_FILE, MORVEX_ERR_NOT_READY}},
      {"LoadConfigFileW", [](int h, const wchar_t* p) { return Morvex_LoadConfigFileW(h, p); }, {}},
  };
  for (const Twin& twin : twins) {
    EXPECT_EQ(twin.call(h_, too_long.c_str()), 0) << twin.name;
    EXPECT_EQ(Codes(), (Codes_t{MORVEX_ERR_FILE})) << twin.name;
    EXPECT_EQ(twin.call(h_, nullptr), 0) << twin.name;
    EXPECT_EQ(Codes(), (Codes_t{MORVEX_ERR_FILE})) << twin.name;
    // A fitting path reaches the narrow operation, which has its own answer.
    EXPECT_EQ(twin.call(h_, fits.c_str()), 0) << twin.name;
    EXPECT_EQ(Codes(), twin.narrow_codes) << twin.name;
  }
}

TEST_F(NoDeviceTest, ConfigurationFileIsReadWithoutDevice) {
  const char* path = "api_config_test.bin";
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    const unsigned char bytes[20] = {1,    0,    0,    0,    2, 0, 0, 0, 0xFF, 0xFF,
                                     0xFF, 0xFF, 0x10, 0x20, 0, 0, 9, 9, 9,    9};
    file.write(reinterpret_cast<const char*>(bytes), sizeof(bytes));
  }
  EXPECT_EQ(Morvex_LoadConfigFileA(h_, path), 1);
  EXPECT_EQ(Morvex_LoadConfigFileW(h_, L"api_config_test.bin"), 1);
  EXPECT_EQ(Morvex_LoadConfigFileA(h_, "api_config_missing.bin"), 0);
  EXPECT_EQ(Codes(), Codes_t{});

  CMorvex camera{platform::SystemClock()};
  ASSERT_EQ(camera.LoadConfigFile(path), 1);
  const auto pairs = camera.config_list();
  ASSERT_EQ(pairs.size(), 2u) << "20 bytes are two records and a remainder";
  EXPECT_EQ(pairs[0].first, 1);
  EXPECT_EQ(pairs[0].second, 2);
  EXPECT_EQ(pairs[1].first, -1);
  EXPECT_EQ(pairs[1].second, 0x2010);
  EXPECT_EQ(camera.LoadConfigFile("api_config_missing.bin"), 0);
  EXPECT_EQ(camera.config_list().size(), 2u) << "a missing file leaves the list";
  { std::ofstream empty(path, std::ios::binary | std::ios::trunc); }
  EXPECT_EQ(camera.LoadConfigFile(path), 1);
  EXPECT_TRUE(camera.config_list().empty());
  std::remove(path);
}

TEST(CachedFilterValues, RangesAreInclusiveAndRefusalsKeepTheValue) {
  ImageSettings s;
  EXPECT_EQ(s.Set(MORVEX_FILTER_BRIGHTNESS, 255), CachedFilterResult::kDone);
  EXPECT_EQ(s.Set(MORVEX_FILTER_BRIGHTNESS, 256), CachedFilterResult::kOutOfRange);
  EXPECT_EQ(s.Set(MORVEX_FILTER_BRIGHTNESS, -256), CachedFilterResult::kOutOfRange);
  int32_t value = 0;
  EXPECT_EQ(s.Get(MORVEX_FILTER_BRIGHTNESS, &value), CachedFilterResult::kDone);
  EXPECT_EQ(value, 255);

  struct Range {
    int id, min, max;
  };
  const Range ranges[] = {{1, -255, 255},  {2, -127, 127},  {3, -360, 360},  {4, -255, 255},  {5, 0, 30},
                          {7, 0, 400},     {8, 0, 400},     {9, 0, 400},     {11, 0, 200},    {12, 0, 3},
                          {19, 0, 2},      {20, 0, 255},    {21, 0, 255},    {22, 0, 255},    {23, 0, 255},
                          {24, -255, 255}, {25, -255, 255}, {26, -255, 255}, {27, -255, 255}, {28, 0, 1},
                          {102, 0, 1},     {103, 0, 1}};
  for (const Range& r : ranges) {
    EXPECT_EQ(s.Set(r.id, r.min), CachedFilterResult::kDone) << r.id;
    EXPECT_EQ(s.Set(r.id, r.max), CachedFilterResult::kDone) << r.id;
    EXPECT_EQ(s.Set(r.id, r.min - 1), CachedFilterResult::kOutOfRange) << r.id;
    EXPECT_EQ(s.Set(r.id, r.max + 1), CachedFilterResult::kOutOfRange) << r.id;
    if (r.id == 28) continue;
    EXPECT_EQ(s.Get(r.id, &value), CachedFilterResult::kDone) << r.id;
    EXPECT_EQ(value, r.max) << r.id;
  }
}

TEST(CachedFilterValues, BayerGainsPackIntoOneValue) {
  ImageSettings s;
  EXPECT_EQ(s.Set(MORVEX_FILTER_BAYER_GAIN_RGB, 64 | 128 << 8 | 200 << 16), CachedFilterResult::kDone);
  int32_t red = 0, green = 0, blue = 0, packed = 0;
  s.Get(MORVEX_FILTER_BAYER_GAIN_RED, &red);
  s.Get(MORVEX_FILTER_BAYER_GAIN_GREEN, &green);
  s.Get(MORVEX_FILTER_BAYER_GAIN_BLUE, &blue);
  EXPECT_EQ(red, 64);
  EXPECT_EQ(green, 128);
  EXPECT_EQ(blue, 200);
  EXPECT_EQ(s.Set(MORVEX_FILTER_BAYER_GAIN_RED, 300), CachedFilterResult::kDone);
  s.Get(MORVEX_FILTER_BAYER_GAIN_RGB, &packed);
  EXPECT_EQ(packed & 0xFF, 44) << "300 modulo 256";
  EXPECT_EQ(packed, 44 | 128 << 8 | 200 << 16);
}

TEST(CachedFilterValues, FlagsAndUncachedIdentifiers) {
  ImageSettings s;
  int32_t value = -1;
  EXPECT_EQ(s.Set(MORVEX_FILTER_BAYER_GAIN_AUTO, -7), CachedFilterResult::kDone);
  s.Get(MORVEX_FILTER_BAYER_GAIN_AUTO, &value);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(s.Get(MORVEX_FILTER_GRAY_AUTO_BALANCE, &value), CachedFilterResult::kNotCached) << "write-only";
  for (int id : {0, 13, 18, 29, 36, 37, 100, 101, 104, 105, 106, 107}) {
    EXPECT_EQ(s.Set(id, 0), CachedFilterResult::kNotCached) << id;
    EXPECT_EQ(s.Get(id, &value), CachedFilterResult::kNotCached) << id;
  }
}

}  // namespace
}  // namespace morvex
