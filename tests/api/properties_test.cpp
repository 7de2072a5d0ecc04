// Every filter identifier and property export through the exports, against
// an emulated camera: ranges, refusals and codes, the per-property exports
// against the pair, the sensor and FPGA registers each camera value
// programs, the cooler and temperature, and automatic exposure and gain.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "MorvexSdk.h"
#include "camera/morvex.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "emulated_environment.h"
#include "emulator/emulator.h"
#include "platform/settings_store.h"
#include "names.h"
#include "paths.h"

namespace morvex {
namespace {

using Getter = decltype(&Morvex_GetBrightness);
using Setter = decltype(&Morvex_SetBrightness);
using Codes_t = std::vector<int>;

constexpr int kAbsent = std::numeric_limits<int>::min();  // no such end of a range

// How an identifier answers on this camera (cooled IMX991).
enum class Rule {
  kRange,        // min..max, read back from where it was set
  kAnyNonZero,   // no check, any non-zero reads 1
  kWriteOnly,    // min..max, reading refused
  kRefused,      // both directions refused
  kGainLevel,    // set answers 0 silently, get -1
  kUnsupported,  // both directions answer code 11
  kTemperature,  // set refused, get -1 with code 11 and flag 0
};

struct Row {
  int id;
  Getter get;  // per-property exports; null when the identifier has none
  Setter set;
  Rule rule;
  int min, max;
};

const Row kRows[] = {
    {1, Morvex_GetBrightness, Morvex_SetBrightness, Rule::kRange, -255, 255},
    {2, Morvex_GetContrast, Morvex_SetContrast, Rule::kRange, -127, 127},
    {3, Morvex_GetHue, Morvex_SetHue, Rule::kRange, -360, 360},
    {4, Morvex_GetSaturation, Morvex_SetSaturation, Rule::kRange, -255, 255},
    {5, Morvex_GetSharpness, Morvex_SetSharpness, Rule::kRange, 0, 30},
    {6, Morvex_GetBayerGainRGB, Morvex_SetBayerGainRGB, Rule::kRange, 0, 0xFFFFFF},
    {7, Morvex_GetBayerGainRed, Morvex_SetBayerGainRed, Rule::kRange, 0, 400},
    {8, Morvex_GetBayerGainGreen, Morvex_SetBayerGainGreen, Rule::kRange, 0, 400},
    {9, Morvex_GetBayerGainBlue, Morvex_SetBayerGainBlue, Rule::kRange, 0, 400},
    {10, Morvex_GetBayerGainAuto, Morvex_SetBayerGainAuto, Rule::kAnyNonZero, 0, 1},
    {11, Morvex_GetGamma, Morvex_SetGamma, Rule::kRange, 0, 200},
    {12, Morvex_GetBayerMode, Morvex_SetBayerMode, Rule::kRange, 0, 3},
    {13, Morvex_GetGlobalGain, Morvex_SetGlobalGain, Rule::kRange, 0, 420},
    // A monochrome sensor's colour gains range over 0..0.
    {14, Morvex_GetColorGainRed, Morvex_SetColorGainRed, Rule::kRange, 0, 0},
    {15, Morvex_GetColorGainGreen1, Morvex_SetColorGainGreen1, Rule::kRange, 0, 0},
    {16, Morvex_GetColorGainGreen2, Morvex_SetColorGainGreen2, Rule::kRange, 0, 0},
    {17, Morvex_GetColorGainBlue, Morvex_SetColorGainBlue, Rule::kRange, 0, 0},
    {18, Morvex_GetExposureTime, Morvex_SetExposureTime, Rule::kRange, 1, 20000},
    {19, Morvex_GetGrayMode, Morvex_SetGrayMode, Rule::kRange, 0, 2},
    {20, Morvex_GetGrayGainR, Morvex_SetGrayGainR, Rule::kRange, 0, 255},
    {21, Morvex_GetGrayGainG1, Morvex_SetGrayGainG1, Rule::kRange, 0, 255},
    {22, Morvex_GetGrayGainG2, Morvex_SetGrayGainG2, Rule::kRange, 0, 255},
    {23, Morvex_GetGrayGainB, Morvex_SetGrayGainB, Rule::kRange, 0, 255},
    {24, Morvex_GetGrayOffsetR, Morvex_SetGrayOffsetR, Rule::kRange, -255, 255},
    {25, Morvex_GetGrayOffsetG1, Morvex_SetGrayOffsetG1, Rule::kRange, -255, 255},
    {26, Morvex_GetGrayOffsetG2, Morvex_SetGrayOffsetG2, Rule::kRange, -255, 255},
    {27, Morvex_GetGrayOffsetB, Morvex_SetGrayOffsetB, Rule::kRange, -255, 255},
    {28, nullptr, nullptr, Rule::kWriteOnly, 0, 1},
    {29, nullptr, nullptr, Rule::kRefused, 0, 0},
    {30, nullptr, nullptr, Rule::kRefused, 0, 0},
    {31, nullptr, nullptr, Rule::kRefused, 0, 0},
    {32, nullptr, nullptr, Rule::kRefused, 0, 0},
    {33, nullptr, nullptr, Rule::kRefused, 0, 0},
    {34, nullptr, nullptr, Rule::kRefused, 0, 0},
    {35, nullptr, nullptr, Rule::kRefused, 0, 0},
    {36, nullptr, nullptr, Rule::kRefused, 0, 0},
    // The cooler takes any value (above 0: on) and answers with the device.
    {100, Morvex_GetPeltier, Morvex_SetPeltier, Rule::kAnyNonZero, 0, 1},
    {101, Morvex_GetTemperature, nullptr, Rule::kTemperature, 0, 0},
    {102, Morvex_GetDotFilter, Morvex_SetDotFilter, Rule::kRange, 0, 1},
    {103, Morvex_GetMaskFilter, Morvex_SetMaskFilter, Rule::kRange, 0, 1},
    {104, nullptr, nullptr, Rule::kGainLevel, 0, 0},
    {105, nullptr, nullptr, Rule::kUnsupported, 0, 0},
    {106, nullptr, nullptr, Rule::kUnsupported, 0, 0},
    // Outside the table.
    {0, nullptr, nullptr, Rule::kRefused, 0, 0},
    {37, nullptr, nullptr, Rule::kRefused, 0, 0},
    {99, nullptr, nullptr, Rule::kRefused, 0, 0},
    {107, nullptr, nullptr, Rule::kRefused, 0, 0},
};

// The camera instance asks for this model; the device object opens another.
class OtherModelDevice : public CMorvexUSB3T2SimpleSdk {
 public:
  OtherModelDevice(platform::DriverPort& port, const std::string& mapping, int32_t product)
      : CMorvexUSB3T2SimpleSdk(port, platform::SystemClock(), mapping.c_str()), product_(product) {}
  int32_t SetProductId(int32_t) override { return CMorvexUSB3T2SimpleSdk::SetProductId(product_); }
  int32_t CountCameras(int32_t) override { return CMorvexUSB3T2SimpleSdk::CountCameras(product_); }

 private:
  int32_t product_;
};

// A sensor with the auxiliary switch and a black level, which this model
// lacks; `refuse` makes the device refuse every transfer of theirs.
struct FittedState {
  int32_t on = 0;
  int32_t level = 0;
  bool refuse = false;
};
class FittedDevice : public OtherModelDevice {
 public:
  FittedDevice(platform::DriverPort& port, const std::string& mapping, FittedState& state)
      : OtherModelDevice(port, mapping, 0x3290), state_(state) {}
  int32_t HasAuxiliarySwitch() override { return 1; }
  int32_t GetAuxiliarySwitch(int32_t* on) override { return Get(state_.on, on); }
  int32_t SetAuxiliarySwitch(int32_t on) override { return Set(&state_.on, on); }
  int32_t HasBlackLevel() override { return 1; }
  int32_t GetBlackLevel(int32_t* level) override { return Get(state_.level, level); }
  int32_t SetBlackLevel(int32_t level) override { return Set(&state_.level, level); }

 private:
  int32_t Get(int32_t held, int32_t* value) {
    if (state_.refuse) return 0;
    *value = held;
    return 1;
  }
  int32_t Set(int32_t* held, int32_t value) {
    if (state_.refuse) return 0;
    *held = value;
    return 1;
  }
  FittedState& state_;
};

class Properties : public ::testing::Test {
 protected:
  void TearDown() override {
    if (h_ != 0) {
      EXPECT_EQ(1, Morvex_Release(h_));
    }
    CMorvex::SetDefaultEnvironment({});
  }

  // One emulated camera of `product` behind Morvex_Initialize.
  void Open(uint16_t product = 0x3290) {
    emulator::EmulatedCameraOptions options;
    options.product_id = product;
    camera_ = &port_.AddCamera(options);
    CMorvex::Environment environment = test::EmulatedEnvironment(port_, mapping_, settings_key_);
    environment.make_device = [this, product]() -> std::unique_ptr<CMorvexZ3U2Base> {
      if (with_fitted_) return std::make_unique<FittedDevice>(port_, mapping_, fitted_);
      return std::make_unique<OtherModelDevice>(port_, mapping_, product);
    };
    CMorvex::SetDefaultEnvironment(environment);
    h_ = Morvex_Initialize(nullptr);
    ASSERT_NE(0, h_);
    Codes();
  }

  // The codes recorded since the last call, newest first.
  Codes_t Codes() {
    Codes_t codes;
    for (int code; (code = Morvex_GetLastError(h_)) != 0;) codes.push_back(code);
    return codes;
  }
  int Sensor(int address) {
    int flag = 0;
    const int value = Morvex_ReadRegisterEx(h_, address, &flag);
    EXPECT_EQ(1, flag) << std::hex << address;
    return value;
  }
  int Fpga(int reg) {
    int flag = 0;
    const int value = Morvex_Fpga_ReadRegister(h_, reg, &flag);
    EXPECT_EQ(1, flag) << reg;
    return value;
  }
  int Get(int id, int* flag = nullptr) {
    int ignored = 0;
    return Morvex_GetFilterValue(h_, id, flag != nullptr ? flag : &ignored);
  }

  test::PrivateSettings private_;
  std::string settings_key_ = private_.Path("MorvexVelsaTEC3T2Sdk");
  std::string mapping_ = test::UniqueName("properties");
  emulator::EmulatorPort port_;
  emulator::EmulatedCamera* camera_ = nullptr;
  bool with_fitted_ = false;
  FittedState fitted_;
  int h_ = 0;
};

TEST_F(Properties, EveryIdentifierFollowsItsRule) {
  Open();
  const Codes_t none, argument{MORVEX_ERR_ARGUMENT}, unsupported{MORVEX_ERR_UNSUPPORTED};
  for (const Row& r : kRows) {
    SCOPED_TRACE("identifier " + std::to_string(r.id));
    int flag = -1;
    switch (r.rule) {
      case Rule::kRange:
      case Rule::kWriteOnly: {
        const bool readable = r.rule == Rule::kRange;
        for (int value : {r.min, r.max, (r.min + r.max) / 2}) {
          EXPECT_EQ(1, Morvex_SetFilterValue(h_, r.id, value)) << value;
          EXPECT_EQ(Codes(), none);
          EXPECT_EQ(readable ? value : 0, Get(r.id, &flag));
          EXPECT_EQ(readable ? 1 : 0, flag);
          EXPECT_EQ(Codes(), readable ? none : argument);
        }
        if (r.id == 6) break;  // packed bytes: no range to leave
        for (int outside : {r.min - 1, r.max + 1}) {
          EXPECT_EQ(0, Morvex_SetFilterValue(h_, r.id, outside)) << outside;
          EXPECT_EQ(Codes(), argument);
          if (readable) {
            EXPECT_EQ((r.min + r.max) / 2, Get(r.id)) << "the old value stays";
          }
          Codes();
        }
        break;
      }
      case Rule::kAnyNonZero:
        for (int value : {-5, 0, 7, 0}) {
          EXPECT_NE(0, Morvex_SetFilterValue(h_, r.id, value)) << value;
          // The cooler counts values above 0 as on; the bayer flag any non-zero.
          const int expected = r.id == 100 ? (value > 0 ? 1 : 0) : (value != 0 ? 1 : 0);
          EXPECT_EQ(expected, Get(r.id, &flag)) << value;
          EXPECT_EQ(1, flag);
          EXPECT_EQ(Codes(), none);
        }
        break;
      case Rule::kRefused:
        EXPECT_EQ(0, Morvex_SetFilterValue(h_, r.id, 0));
        EXPECT_EQ(Codes(), argument);
        EXPECT_EQ(0, Get(r.id, &flag));
        EXPECT_EQ(0, flag);
        EXPECT_EQ(Codes(), argument);
        break;
      case Rule::kGainLevel:
        EXPECT_EQ(0, Morvex_SetFilterValue(h_, r.id, 1));
        EXPECT_EQ(Codes(), none);
        EXPECT_EQ(-1, Get(r.id, &flag));
        EXPECT_EQ(1, flag);
        EXPECT_EQ(Codes(), none);
        break;
      case Rule::kUnsupported:
        EXPECT_EQ(0, Morvex_SetFilterValue(h_, r.id, 1));
        EXPECT_EQ(Codes(), unsupported);
        EXPECT_EQ(0, Get(r.id, &flag));
        EXPECT_EQ(Codes(), unsupported);
        break;
      case Rule::kTemperature:
        EXPECT_EQ(0, Morvex_SetFilterValue(h_, r.id, 20));
        EXPECT_EQ(Codes(), argument);
        EXPECT_EQ(-1, Get(r.id, &flag));
        EXPECT_EQ(0, flag);
        EXPECT_EQ(Codes(), unsupported);
        break;
    }
  }
}

// Each per-property export is the pair with its own identifier: with every
// identifier at one value, a value set through the export shows up under
// that identifier only, and the getter reads it back from there.
TEST_F(Properties, PerPropertyExportsUseTheirOwnIdentifier) {
  Open();
  for (const Row& r : kRows) {
    if (r.set != nullptr) {
      ASSERT_NE(0, Morvex_SetFilterValue(h_, r.id, r.min)) << r.id;
    }
  }
  for (const Row& r : kRows) {
    if (r.get == nullptr) continue;
    SCOPED_TRACE("identifier " + std::to_string(r.id));
    int flag = -1;
    if (r.set == nullptr) {  // the temperature
      EXPECT_EQ(Get(r.id), r.get(h_, &flag));
      Codes();
      continue;
    }
    const int probe = r.max > r.min ? r.min + 1 : r.min;
    EXPECT_NE(0, r.set(h_, probe));
    EXPECT_EQ(probe, Get(r.id));
    EXPECT_EQ(probe, r.get(h_, &flag));
    EXPECT_EQ(1, flag);
    ASSERT_NE(0, Morvex_SetFilterValue(h_, r.id, r.min));
    EXPECT_EQ(r.min, r.get(h_, &flag));
    // Out of range through the export as through the pair.
    if (r.rule == Rule::kRange && r.id != 6) {
      EXPECT_EQ(0, r.set(h_, r.max + 1));
      EXPECT_EQ(Codes(), Codes_t{MORVEX_ERR_ARGUMENT});
    }
  }
  Codes();
  // Channels 1-4 are identifiers 29-36; any other channel records nothing.
  int flag = -1;
  EXPECT_EQ(0, Morvex_GetChannelGain(h_, 1, &flag));
  EXPECT_EQ(0, flag);
  EXPECT_EQ(0, Morvex_SetChannelOffset(h_, 4, 1));
  EXPECT_EQ(Codes(), (Codes_t{MORVEX_ERR_ARGUMENT, MORVEX_ERR_ARGUMENT}));
  flag = -1;
  EXPECT_EQ(0, Morvex_GetChannelGain(h_, 5, &flag));
  EXPECT_EQ(-1, flag);
  EXPECT_EQ(0, Morvex_GetChannelOffset(h_, 0, &flag));
  EXPECT_EQ(0, Morvex_SetChannelGain(h_, -3, 1));
  EXPECT_EQ(0, Morvex_SetChannelOffset(h_, 5, 1));
  EXPECT_EQ(Codes(), Codes_t{});
}

TEST_F(Properties, PackedBayerGainsAndGlobalGain) {
  Open();
  EXPECT_EQ(1, Morvex_SetBrightness(h_, 255));
  EXPECT_EQ(0, Morvex_SetBrightness(h_, 256));
  EXPECT_EQ(Codes(), Codes_t{MORVEX_ERR_ARGUMENT});
  EXPECT_EQ(255, Morvex_GetBrightness(h_, nullptr));

  EXPECT_EQ(1, Morvex_SetBayerGainRGB(h_, 64 | 128 << 8 | 200 << 16 | 0x7F000000));
  EXPECT_EQ(64, Morvex_GetBayerGainRed(h_, nullptr));
  EXPECT_EQ(128, Morvex_GetBayerGainGreen(h_, nullptr));
  EXPECT_EQ(200, Morvex_GetBayerGainBlue(h_, nullptr));
  EXPECT_EQ(1, Morvex_SetBayerGainRed(h_, 300));
  EXPECT_EQ(44 | 128 << 8 | 200 << 16, Morvex_GetBayerGainRGB(h_, nullptr));

  // The global gain becomes the four colour gains too, and the next prepare
  // sends it again whatever happened to the register in between.
  EXPECT_EQ(1, Morvex_SetGlobalGain(h_, 123));
  EXPECT_EQ(1, Morvex_WriteRegisterEx(h_, 0x0714, 5));
  std::vector<uint8_t> frame(640 * 512 * 2);
  ASSERT_EQ(1, Morvex_SnapShot(h_, frame.data(), static_cast<int>(frame.size()), 1));
  EXPECT_EQ(123, Sensor(0x0714));
  EXPECT_EQ(1, Morvex_Release(h_));
  h_ = 0;
  platform::SettingsKey gain;
  ASSERT_TRUE(gain.Open(settings_key_ + "\\Camera_00\\Gain"));
  for (const char* name : {"Global", "ColorG1", "ColorR", "ColorB", "ColorG2"}) {
    uint32_t value = 0;
    EXPECT_TRUE(gain.QueryDword(name, &value)) << name;
    EXPECT_EQ(123u, value) << name;
  }
}

TEST_F(Properties, ExposureInSecondsMicrosecondsAndDeviceUnits) {
  Open();
  int flag = 0;
  EXPECT_EQ(1, Morvex_SetExposureTimeEx(h_, 0.5));
  EXPECT_EQ(5000, Morvex_GetExposureTime(h_, &flag));
  EXPECT_EQ(500000, Morvex_GetRealExposureTime(h_, &flag));
  EXPECT_EQ(1, flag);
  EXPECT_DOUBLE_EQ(0.5, Morvex_GetExposureTimeEx(h_, &flag));
  EXPECT_EQ(1, flag);
  // Above the camera's 2 s: what the camera took is what is reported.
  EXPECT_EQ(1, Morvex_SetExposureTimeEx(h_, 7.5));
  EXPECT_DOUBLE_EQ(2.0, Morvex_GetExposureTimeEx(h_, &flag));
  EXPECT_EQ(2000000, Morvex_GetRealExposureTime(h_, &flag));
  EXPECT_EQ(Codes(), Codes_t{});
  EXPECT_EQ(0, Morvex_SetExposureTimeEx(h_, std::nan("")));
  EXPECT_EQ(0, Morvex_SetExposureTimeEx(h_, -HUGE_VAL));
  EXPECT_EQ(Codes(), (Codes_t{MORVEX_ERR_ARGUMENT, MORVEX_ERR_ARGUMENT}));
  EXPECT_EQ(2000000, Morvex_GetRealExposureTime(h_, &flag));

  EXPECT_EQ(1, Morvex_SetRealExposureTime(h_, 250099));
  EXPECT_EQ(2500, Morvex_GetExposureTime(h_, &flag));
  EXPECT_DOUBLE_EQ(0.25, Morvex_GetExposureTimeEx(h_, &flag));
  for (int outside : {99, 2000100, -500}) {
    EXPECT_EQ(0, Morvex_SetRealExposureTime(h_, outside)) << outside;
    EXPECT_EQ(Codes(), Codes_t{MORVEX_ERR_ARGUMENT});
  }
  EXPECT_EQ(250000, Morvex_GetRealExposureTime(h_, &flag));
  // The identifier in device units refreshes the seconds.
  EXPECT_EQ(1, Morvex_SetExposureTime(h_, 70));
  EXPECT_NEAR(0.007, Morvex_GetExposureTimeEx(h_, &flag), 1e-12);
}

TEST_F(Properties, MirrorsAutoIrisAndInternalCorrection) {
  Open();
  EXPECT_EQ(1, Morvex_SetMirrorH(h_, 5));
  EXPECT_EQ(1, Morvex_GetMirrorH(h_));
  EXPECT_EQ(0, Morvex_GetMirrorV(h_));
  EXPECT_EQ(1, Morvex_SetMirrorV(h_, 1));
  EXPECT_EQ(1, Morvex_SetMirrorH(h_, 0));
  EXPECT_EQ(0, Morvex_GetMirrorH(h_));
  EXPECT_EQ(1, Morvex_GetMirrorV(h_));

  int flag = 0;
  EXPECT_EQ(0, Morvex_SetAutoIris(h_, 3));
  EXPECT_EQ(1, Morvex_SetAutoIris(h_, 2));
  EXPECT_EQ(2, Morvex_GetAutoIris(h_, &flag));
  EXPECT_EQ(1, flag);

  // The emulated FPGA's version has bit 15: the correction is there.
  EXPECT_NE(0, Morvex_SetInternalCorrection(h_, 1));
  EXPECT_EQ(1, Morvex_GetInternalCorrection(h_, &flag));
  EXPECT_EQ(1, flag);
  EXPECT_EQ(1, Fpga(209) & 1);
  EXPECT_NE(0, Morvex_SetInternalCorrection(h_, 0));
  EXPECT_EQ(0, Morvex_GetInternalCorrection(h_, &flag));
  EXPECT_EQ(0, Fpga(209) & 1);
  EXPECT_EQ(Codes(), Codes_t{});
}

// What each camera value programs into the emulated sensor and FPGA.
TEST_F(Properties, CameraValuesReachTheRegisters) {
  Open();
  struct Write {
    int address;  // sensor register, or FPGA register + 0x10000
    int value;
  };
  struct Case {
    const char* what;
    int (*apply)(int camera);
    std::vector<Write> expected;
  } cases[] = {
      {"gain 300", [](int h) { return Morvex_SetGlobalGain(h, 300); }, {{0x0714, 300 & 0xFF}, {0x0715, 1}}},
      {"gain 5", [](int h) { return Morvex_SetGlobalGain(h, 5); }, {{0x0714, 5}, {0x0715, 0}}},
      // 1 ms: (1e6 - 7372) / 12961.77 ns gives 76 lines inside the frame of
      // 561 lines, so the shutter opens at line 485.
      {"exposure 1 ms",
       [](int h) { return Morvex_SetExposureTime(h, 10); },
       {{0x02D4, 561 & 0xFF},
        {0x02D5, 561 >> 8},
        {0x02D6, 0},
        {0x0440, 485 & 0xFF},
        {0x0441, 485 >> 8},
        {0x0442, 0}}},
      // 10 ms: 770 lines, longer than the frame: it grows to 785, shutter at 15.
      {"exposure 10 ms",
       [](int h) { return Morvex_SetExposureTime(h, 100); },
       {{0x02D4, 785 & 0xFF}, {0x02D5, 785 >> 8}, {0x02D6, 0}, {0x0440, 15}, {0x0441, 0}, {0x0442, 0}}},
      {"exposure 1 ms in seconds",
       [](int h) { return Morvex_SetExposureTimeEx(h, 0.001); },
       {{0x02D4, 561 & 0xFF}, {0x0440, 485 & 0xFF}, {0x0441, 485 >> 8}}},
      {"exposure 1 ms in microseconds",
       [](int h) { return Morvex_SetRealExposureTime(h, 1000); },
       {{0x02D4, 561 & 0xFF}, {0x0440, 485 & 0xFF}, {0x0441, 485 >> 8}}},
      // Mirror bits: 0 vertical, 1 horizontal; the FPGA's horizontal offset follows.
      {"mirror horizontal",
       [](int h) { return Morvex_SetMirrorH(h, 1); },
       {{0x0404, 2}, {0x1004C, 104}, {0x1004D, 0}}},
      {"mirror both", [](int h) { return Morvex_SetMirrorV(h, 1); }, {{0x0404, 3}}},
      {"mirror vertical", [](int h) { return Morvex_SetMirrorH(h, 0); }, {{0x0404, 1}, {0x1004C, 8}}},
      {"cooler off", [](int h) { return Morvex_SetPeltier(h, -5); }, {{0x10097, 0}}},
      {"cooler on", [](int h) { return Morvex_SetPeltier(h, 1); }, {{0x10097, 1}}},
      // This sensor has no black level to set: the one programmed at start stays.
      {"black level",
       [](int h) { return Morvex_SetFilterValue(h, MORVEX_FILTER_BLACK_LEVEL, 100) + 1; },
       {{0x07C0, 60}, {0x07C1, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_NE(0, c.apply(h_));
    for (const Write& w : c.expected) {
      const int got = w.address >= 0x10000 ? Fpga(w.address - 0x10000) : Sensor(w.address);
      EXPECT_EQ(w.value, got) << std::hex << "register 0x" << w.address;
    }
  }
}

TEST_F(Properties, TemperatureFollowsTheCooler) {
  Open();
  int flag = 0;
  EXPECT_EQ(1, Morvex_GetPeltier(h_, &flag)) << "switched on at selection";
  auto read = [&] {
    int ok = 0;
    const double celsius = Morvex_GetTemperatureEx(h_, &ok);
    EXPECT_EQ(1, ok);
    return celsius;
  };
  const double start = read();
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const double cooled = read();
  EXPECT_LT(cooled, start - 1.0);
  EXPECT_GT(cooled, 0.0) << "above the cooler's set point";
  ASSERT_NE(0, Morvex_SetPeltier(h_, 0));
  EXPECT_EQ(0, Morvex_GetPeltier(h_, &flag));
  const double off = read();
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_GT(read(), off + 0.5);
  EXPECT_LT(read(), 25.5) << "below the ambient";
  // A successful read records the success code on top of the history.
  EXPECT_EQ(0, Morvex_SetSharpness(h_, 31));
  read();
  EXPECT_EQ(0, Morvex_GetLastError(h_));
  EXPECT_EQ(MORVEX_ERR_ARGUMENT, Morvex_GetLastError(h_));
}

// Where the sensor has them, the auxiliary switch and the black level reach
// the device and are read back from it; a refusing device gives
// MORVEX_ERR_DEVICE_IO.
TEST_F(Properties, FittedAuxiliarySwitchAndBlackLevel) {
  with_fitted_ = true;
  Open();
  constexpr int kNothing = -1;
  const struct Case {
    const char* what;
    bool refuse;
    int id;
    bool set;
    int value;  // set: the value; get: what the device holds
    int answer;
    int held;      // by the device afterwards
    int recorded;  // the call's code
  } cases[] = {
      {"switch on", false, 105, true, 7, 1, 1, kNothing},
      {"switch off", false, 105, true, -3, 1, 0, kNothing},
      {"switch read", false, 105, false, 5, 1, 5, MORVEX_ERR_SUCCESS},
      {"black level set", false, 106, true, 33, 1, 33, MORVEX_ERR_SUCCESS},
      {"black level read", false, 106, false, 40, 40, 40, MORVEX_ERR_SUCCESS},
      {"switch set refused", true, 105, true, 1, 0, 5, MORVEX_ERR_DEVICE_IO},
      {"switch read refused", true, 105, false, 0, 0, 0, MORVEX_ERR_DEVICE_IO},
      {"black level set refused", true, 106, true, 5, 0, 40, MORVEX_ERR_DEVICE_IO},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int32_t& held = c.id == 105 ? fitted_.on : fitted_.level;
    if (!c.set) held = c.value;
    fitted_.refuse = c.refuse;
    Codes();
    Morvex_SetFilterValue(h_, 29, 0);  // a mark beneath the call's own code
    EXPECT_EQ(c.answer, c.set ? Morvex_SetFilterValue(h_, c.id, c.value) : Get(c.id));
    const Codes_t codes{Morvex_GetLastError(h_), Morvex_GetLastError(h_)};
    const Codes_t expected =
        c.recorded == kNothing ? Codes_t{MORVEX_ERR_ARGUMENT, 0} : Codes_t{c.recorded, MORVEX_ERR_ARGUMENT};
    EXPECT_EQ(codes, expected);
    EXPECT_EQ(c.held, held);
  }
}

TEST_F(Properties, UncooledModelHasNoCooler) {
  Open(0x3280);
  int flag = 0;
  EXPECT_EQ(0, Morvex_SetPeltier(h_, 1));
  EXPECT_EQ(Codes(), Codes_t{MORVEX_ERR_UNSUPPORTED});
  EXPECT_EQ(-1, Morvex_GetPeltier(h_, &flag));
  EXPECT_EQ(1, flag);
  EXPECT_EQ(Codes(), Codes_t{MORVEX_ERR_UNSUPPORTED});
  EXPECT_EQ(0, Fpga(151) & 1) << "never switched on";
  const double celsius = Morvex_GetTemperatureEx(h_, &flag);
  EXPECT_EQ(1, flag);
  EXPECT_NEAR(25.0, celsius, 0.5);
}

// During a callback preview the automatic step moves the exposure (mode 1)
// or the gain (mode 2) towards a mid-grey image, from a dim and from a
// bright start, and then leaves it alone.
TEST_F(Properties, AutomaticExposureAndGainSettle) {
  Open();
  ASSERT_EQ(1, Morvex_SetPreviewWindow(h_, nullptr, 0, 0, 0, 0));  // no window
  struct Case {
    const char* what;
    int mode;
    int exposure, gain;  // the start
    int filter;          // the value that moves
    bool rises;
  } cases[] = {
      {"dim exposure", 1, 10, 0, MORVEX_FILTER_EXPOSURE_TIME, true},
      {"bright exposure", 1, 600, 0, MORVEX_FILTER_EXPOSURE_TIME, false},
      {"dim gain", 2, 60, 4, MORVEX_FILTER_GLOBAL_GAIN, true},
      {"bright gain", 2, 80, 420, MORVEX_FILTER_GLOBAL_GAIN, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(1, Morvex_SetAutoIris(h_, 0));
    ASSERT_EQ(1, Morvex_SetExposureTime(h_, c.exposure));
    ASSERT_EQ(1, Morvex_SetGlobalGain(h_, c.gain));
    const int start = Get(c.filter);
    ASSERT_EQ(1, Morvex_SetAutoIris(h_, c.mode));
    ASSERT_EQ(1, Morvex_CallBackPreview(h_, nullptr, nullptr, 0, 0));
    // Settled: unchanged over half a second, within ten seconds.
    int last = start, settled = 0;
    for (int i = 0; i < 100 && settled < 5; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      const int now = Get(c.filter);
      settled = now == last ? settled + 1 : 0;
      last = now;
    }
    ASSERT_EQ(1, Morvex_StopPreview(h_));
    EXPECT_EQ(5, settled) << "still moving at " << last;
    if (c.rises)
      EXPECT_GT(last, start);
    else
      EXPECT_LT(last, start);
  }
  EXPECT_EQ(Codes(), Codes_t{});
}

}  // namespace
}  // namespace morvex
