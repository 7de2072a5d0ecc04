// Each operation in each lifecycle state of a camera instance, through the
// exports against the emulator: what it answers and which codes it records.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "MorvexSdk.h"
#include "camera/morvex.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "emulator/emulator.h"
#include "names.h"
#include "paths.h"

namespace morvex {
namespace {

using Codes = std::vector<int>;

// The states in the order of the table's columns.
constexpr Lifecycle kStates[] = {Lifecycle::kNoDevice, Lifecycle::kNoBuffers, Lifecycle::kNoCamera,
                                 Lifecycle::kOpen, Lifecycle::kAcquiring};
constexpr int kStateCount = 5;

struct Answer {
  int result;
  Codes codes;  // newest first
};

constexpr int kNotReady = MORVEX_ERR_NOT_READY, kNoDevice = MORVEX_ERR_NO_DEVICE, kBuffer = MORVEX_ERR_BUFFER,
              kDeviceIo = MORVEX_ERR_DEVICE_IO, kAcquisition = MORVEX_ERR_ACQUISITION;

struct Operation {
  const char* name;
  bool moves;  // may leave the state: the next operation starts afresh
  int (*call)(int handle);
  Answer in[kStateCount];  // no device, no buffers, no camera, open, acquiring
};

uint8_t g_frame[640 * 512];

const Operation kOperations[] = {
    {"EnumDevice",
     false,
     [](int h) {
       static char names[MORVEX_MAX_ENUM * MORVEX_NAME_LENGTH];
       return Morvex_EnumDevice(h, names);
     },
     {{0, {kNotReady}}, {0, {}}, {0, {}}, {1, {}}, {1, {}}}},
    {"SetDeviceNumber",
     true,
     [](int h) { return Morvex_SetDeviceNumber(h, 0); },
     {{0, {kNotReady}}, {0, {kNoDevice}}, {0, {kNoDevice}}, {1, {}}, {1, {}}}},
    {"GetCameraInfo",
     false,
     [](int h) {
       MORVEX_CAMERA_INFO info{};
       info.size = sizeof info;
       return Morvex_GetCameraInfo(h, &info);
     },
     {{0, {kNotReady}}, {1, {}}, {1, {}}, {1, {}}, {1, {}}}},
    {"SetCaptureWindowEx",
     false,
     [](int h) { return Morvex_SetCaptureWindowEx(h, 640, 0, 640, 512, 0, 512); },
     {{0, {kNotReady}}, {1, {}}, {1, {}}, {1, {}}, {1, {}}}},
    {"SetBrightness",
     false,
     [](int h) { return Morvex_SetBrightness(h, 10); },
     {{0, {kNotReady}}, {1, {}}, {1, {}}, {1, {}}, {1, {}}}},
    {"SetMirrorV (posts only)",
     false,
     [](int h) { return Morvex_SetMirrorV(h, 1); },
     {{0, {}}, {1, {}}, {1, {}}, {1, {}}, {1, {}}}},
    {"ReadRegister",
     false,
     [](int h) {
       int flag = 0;
       Morvex_ReadRegister(h, 0x00, &flag);
       return flag;
     },
     {{0, {kNotReady}}, {0, {kDeviceIo}}, {0, {kDeviceIo}}, {1, {}}, {1, {}}}},
    {"GetIOPort (posts only)",
     false,
     [](int h) {
       unsigned char port = 0;
       return Morvex_GetIOPort(h, &port, 0, 0);
     },
     {{0, {}}, {0, {}}, {0, {}}, {1, {}}, {1, {}}}},
    {"StartPreview",
     true,
     [](int h) { return Morvex_StartPreview(h); },
     {{0, {kNotReady}}, {0, {kBuffer}}, {0, {kNoDevice}}, {1, {}}, {0, {kNotReady}}}},
    {"Capture",
     true,
     [](int h) { return Morvex_Capture(h); },
     {{0, {kNotReady}}, {0, {kBuffer}}, {0, {kNoDevice}}, {1, {}}, {1, {}}}},
    {"SnapShot",
     true,
     [](int h) { return Morvex_SnapShot(h, g_frame, sizeof g_frame, 0); },
     {{0, {kNotReady}}, {0, {kBuffer}}, {0, {kNoDevice}}, {1, {}}, {1, {}}}},
    {"GetImage",
     false,
     [](int h) { return Morvex_GetImage(h, g_frame, sizeof g_frame, 0); },
     {{0, {kNotReady}}, {0, {kBuffer}}, {0, {kBuffer}}, {0, {kBuffer}}, {1, {}}}},
    {"UpdateMaskData",
     false,
     [](int h) { return Morvex_UpdateMaskData(h, 0); },
     {{0, {kNotReady}}, {0, {kBuffer}}, {1, {}}, {1, {}}, {1, {}}}},
    {"SaveImage",
     false,
     [](int h) { return Morvex_SaveImage(h, "lifecycle.bmp", MORVEX_IMAGE_BMP); },
     {{0, {kNotReady}}, {0, {kNotReady}}, {0, {kNotReady}}, {0, {kNotReady}}, {0, {kNotReady}}}},
    {"Preview",
     true,
     [](int h) { return Morvex_Preview(h); },
     {{0, {kAcquisition, kNotReady, kNotReady}},
      {0, {kAcquisition, kBuffer}},
      {0, {kAcquisition, kNoDevice}},
      {1, {}},
      {0, {kAcquisition, kNotReady}}}},
    {"StopPreview",
     true,
     [](int h) { return Morvex_StopPreview(h); },
     {{0, {kNotReady}}, {1, {}}, {1, {}}, {1, {}}, {1, {}}}},
    {"Close",
     true,
     [](int h) { return Morvex_Close(h); },
     {{1, {kNotReady}}, {1, {}}, {1, {}}, {1, {}}, {1, {}}}},
};

class LifecycleTest : public ::testing::Test {
 protected:
  void SetUp() override { port_.AddCamera(); }
  void TearDown() override { CMorvex::SetDefaultEnvironment({}); }

  // A handle whose instance is in `state`; 0 when it could not be made so.
  int Enter(Lifecycle state) {
    CMorvex::Environment environment;
    // No camera: none is attached; every other state has one.
    emulator::EmulatorPort* port = state == Lifecycle::kNoCamera ? &empty_ : &port_;
    if (state == Lifecycle::kNoDevice) port = nullptr;
    environment.make_device = [this, port]() -> std::unique_ptr<CMorvexZ3U2Base> {
      if (port == nullptr) return nullptr;
      return std::make_unique<CMorvexUSB3T2SimpleSdk>(*port, platform::SystemClock(), mapping_.c_str());
    };
    const bool notices = state != Lifecycle::kNoBuffers;
    environment.register_notices = [notices](platform::WindowHandle, const platform::Guid&) {
      return notices;
    };
    environment.settings_key = settings_key_;
    CMorvex::SetDefaultEnvironment(environment);
    // Registration is asked for only with an application window.
    static int window = 0;
    const int h = Morvex_Initialize(state == Lifecycle::kNoBuffers ? &window : nullptr);
    if (h != 0 && state == Lifecycle::kAcquiring && Morvex_Capture(h) != 1) {
      Morvex_Release(h);
      return 0;
    }
    Drain(h);
    return h;
  }

  static Codes Drain(int h) {
    Codes codes;
    for (int code; (code = Morvex_GetLastError(h)) != 0;) codes.push_back(code);
    return codes;
  }

  test::PrivateSettings private_;
  std::string settings_key_ = private_.Path("MorvexVelsaTEC3T2Sdk");
  std::string mapping_ = test::UniqueName("lifecycle");
  emulator::EmulatorPort port_;
  emulator::EmulatorPort empty_;
};

TEST_F(LifecycleTest, EveryOperationAnswersForEachState) {
  for (int column = 0; column < kStateCount; ++column) {
    const Lifecycle state = kStates[column];
    SCOPED_TRACE(LifecycleName(state));
    int h = 0;
    for (const Operation& op : kOperations) {
      SCOPED_TRACE(op.name);
      if (h == 0) h = Enter(state);
      ASSERT_NE(0, h);
      EXPECT_EQ(op.in[column].result, op.call(h));
      EXPECT_EQ(op.in[column].codes, Drain(h));
      if (!op.moves) continue;
      EXPECT_EQ(1, Morvex_Release(h));
      h = 0;
    }
    if (h != 0) {
      EXPECT_EQ(1, Morvex_Release(h));
    }
  }
  std::remove("lifecycle.bmp");
}

}  // namespace
}  // namespace morvex
