// The camera instance against emulated cameras: initialisation, selection,
// naming, camera information, settings persistence and direct device access.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include "camera/morvex.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "emulated_environment.h"
#include "emulator/emulator.h"
#include "imaging/dib_image.h"
#include "platform/settings_store.h"
#include "names.h"
#include "paths.h"

namespace morvex {
namespace {

constexpr uint16_t kSensorMirrorRegister = 0x0404;  // bit 0 vertical, bit 1 horizontal
constexpr uint16_t kSerialAddress = 0x1040;

class CameraInstance : public ::testing::Test {
 protected:
  void AddCameras(int count, const emulator::EmulatedCameraOptions& options = {}) {
    for (int i = 0; i < count; ++i) port_.AddCamera(options);
  }

  std::unique_ptr<CMorvex> Make(bool notices_fail = false) {
    CMorvex::Environment environment = test::EmulatedEnvironment(port_, mapping_, base_);
    environment.register_notices = [notices_fail](platform::WindowHandle, const platform::Guid&) {
      return !notices_fail;
    };
    return std::make_unique<CMorvex>(platform::SystemClock(), environment);
  }

  std::string Key(const std::string& relative) const { return base_ + "\\" + relative; }
  bool Exists(const std::string& relative) const {
    platform::SettingsKey key;
    return key.Open(Key(relative));
  }
  bool Query(const std::string& relative, const char* name, uint32_t* value) const {
    platform::SettingsKey key;
    return key.Open(Key(relative)) && key.QueryDword(name, value);
  }
  uint32_t Dword(const std::string& relative, const char* name) const {
    uint32_t value = 0xDEADBEEF;
    EXPECT_TRUE(Query(relative, name, &value)) << relative << " " << name;
    return value;
  }
  void Put(const std::string& relative, const char* name, uint32_t value) {
    platform::SettingsKey key;
    ASSERT_TRUE(key.Create(Key(relative)));
    ASSERT_TRUE(key.SetDword(name, value));
  }

  test::PrivateSettings private_;
  std::string base_ = private_.Path("MorvexVelsaTEC3T2Sdk");
  std::string mapping_ = test::UniqueName("camera");
  emulator::EmulatorPort port_;
};

TEST_F(CameraInstance, OneCameraIsSelectedAndNamedByInitialise) {
  AddCameras(1);
  auto camera = Make();
  EXPECT_EQ(1, camera->Initialize(nullptr));
  EXPECT_EQ(0, camera->selected_device());
  EXPECT_EQ(0, camera->PopError());
  char name[32];
  std::memset(name, 'x', sizeof name);
  EXPECT_EQ(1, camera->GetDeviceName(0, name, sizeof name));
  EXPECT_STREQ("MorvexVelsaTEC_01", name);
  wchar_t wide[32];
  EXPECT_EQ(1, camera->GetDeviceNameW(0, wide, 32));
  EXPECT_EQ(std::wstring(L"MorvexVelsaTEC_01"), wide);
  // The cooled camera's cooler is switched on at selection.
  EXPECT_EQ(1, camera->cooler_cached());
}

#ifndef MORVEX_WIN32
// Without a display no dialog can be made: each answers 0 with the window error.
TEST_F(CameraInstance, DialogsAnswerAsWithoutADisplay) {
  AddCameras(1);
  auto camera = Make();
  ASSERT_EQ(1, camera->Initialize(nullptr));
  while (camera->PopError() != 0) {
  }
  for (auto dialog : {&CMorvex::CameraDialog, &CMorvex::AnalogDialog, &CMorvex::ImageDialog}) {
    EXPECT_EQ(0, ((*camera).*dialog)(nullptr));
    EXPECT_EQ(kErrWindow, camera->PopError());
    EXPECT_EQ(0, camera->PopError());
  }
}
#endif

TEST_F(CameraInstance, BuffersAreMadeAndFilledAtInitialise) {
  AddCameras(1);
  auto camera = Make();
  ASSERT_EQ(1, camera->Initialize(nullptr));
  EXPECT_TRUE(camera->buffers_ready());
  const imaging::MaskData* mask = camera->mask_data();
  ASSERT_NE(nullptr, mask);
  for (int32_t depth : {8, 16}) {
    for (auto kind : {imaging::MaskKind::kDark, imaging::MaskKind::kWhite}) {
      const imaging::CDibImage& frame = mask->reference(depth, kind);
      EXPECT_EQ(640, frame.width());
      EXPECT_EQ(512, frame.height());
      EXPECT_EQ(depth, frame.bits_per_pixel());
      EXPECT_EQ(depth, mask->defect_map(depth, kind).bits_per_pixel());
      EXPECT_EQ(0, mask->defect_map(depth, kind).row(255)[17]);
    }
  }
  EXPECT_EQ(255, mask->reference(8, imaging::MaskKind::kWhite).row(511)[639]);
  EXPECT_EQ(0, mask->reference(8, imaging::MaskKind::kDark).row(100)[100]);
  uint16_t white16 = 0;
  std::memcpy(&white16, mask->reference(16, imaging::MaskKind::kWhite).row(511) + 2 * 639, 2);
  EXPECT_EQ(0x0FFF, white16);
}

TEST_F(CameraInstance, FirstUseLayoutIsWrittenUnderTheUnselectedNumber) {
  AddCameras(1);
  {
    auto camera = Make();
    ASSERT_EQ(1, camera->Initialize(nullptr));
    // Size settings load before any camera is selected: number -1.
    EXPECT_EQ(640u, Dword("Camera_-1\\Size_00", "TH"));
    EXPECT_EQ(512u, Dword("Camera_-1\\Size_00", "TV"));
    EXPECT_EQ(640u, Dword("Camera_-1\\Size_00", "EH"));
    EXPECT_EQ(512u, Dword("Camera_-1\\Size_00", "EV"));
    EXPECT_EQ(0u, Dword("Camera_-1\\Size_00", "EHS"));
    EXPECT_EQ(0u, Dword("Camera_-1\\Size_00", "EVS"));
    EXPECT_EQ(4u, Dword("Camera_-1\\Size_00", "Buf"));
    EXPECT_EQ(0u, Dword("Camera_-1", "Size"));
    EXPECT_EQ(1u, Dword("Camera_-1", "Color"));  // the IMX99x family has no colour output
    EXPECT_EQ(0u, Dword("Camera_-1", "SubSample"));
    EXPECT_EQ(1u, Dword("Camera_-1", "WaitTime"));
    EXPECT_EQ(0u, Dword("Camera_-1", "Clock"));
    EXPECT_FALSE(Exists("Camera_00"));  // loading creates nothing
  }
  // Release saved the selected camera's settings.
  EXPECT_TRUE(Exists("Camera_00\\Gain"));
  EXPECT_EQ(100u, Dword("Camera_00\\Filter", "R_Gain"));
  EXPECT_EQ(3u, Dword("Camera_00\\Filter", "BayerMode"));
  EXPECT_EQ(0u, Dword("Camera_00\\Gray", "OffsetB1"));  // neutral, not 128
  platform::SettingsKey gain;
  ASSERT_TRUE(gain.Open(Key("Camera_00\\Gain")));
  EXPECT_EQ(platform::ValueType::kBinary, gain.TypeOf("ExposureEx"));
}

TEST_F(CameraInstance, StoredColourIsCorrectedForTheCamera) {
  AddCameras(1);
  Put("Camera_00", "Color", 2);
  Put("Camera_00", "WaitTime", 33);
  auto camera = Make();
  ASSERT_EQ(1, camera->Initialize(nullptr));
  EXPECT_EQ(16, camera->GetColorMode());  // 2 becomes 1: 16-bit grey
  EXPECT_EQ(33, camera->GetWaitTime());
}

TEST_F(CameraInstance, StoredColourFallsToEightBitsWithoutSixteenBitOutput) {
  emulator::EmulatedCameraOptions fast;
  fast.fpga_version = 0x4125;  // fast timing: no 16-bit output
  AddCameras(1, fast);
  Put("Camera_00", "Color", 2);
  auto camera = Make();
  ASSERT_EQ(1, camera->Initialize(nullptr));
  EXPECT_EQ(8, camera->GetColorMode());
}

TEST_F(CameraInstance, TwoCamerasWaitForSetDeviceNumberWhichLoadsThatCamera) {
  AddCameras(2);
  Put("Camera_01\\Gain", "V_Mirror", 1);
  Put("Camera_01\\Gain", "H_Mirror", 1);
  Put("Camera_01\\Gain", "AutoIris", 2);
  auto camera = Make();
  ASSERT_EQ(1, camera->Initialize(nullptr));
  EXPECT_EQ(-1, camera->selected_device());
  EXPECT_EQ(0, camera->GetMirrorV());

  ASSERT_EQ(1, camera->SetDeviceNumber(1));
  EXPECT_EQ(1, camera->selected_device());
  EXPECT_EQ(1, camera->GetMirrorV());
  EXPECT_EQ(1, camera->GetMirrorH());
  int32_t flag = 0;
  EXPECT_EQ(2, camera->GetAutoIris(&flag));
  // The cached mirrors reached camera 1's sensor, not camera 0's.
  EXPECT_EQ(3, port_.camera(1).PeekSensorRegister(kSensorMirrorRegister));
  EXPECT_NE(3, port_.camera(0).PeekSensorRegister(kSensorMirrorRegister));
}

TEST_F(CameraInstance, SwitchingSavesThePreviousCamerasSettings) {
  AddCameras(2);
  auto camera = Make();
  ASSERT_EQ(1, camera->Initialize(nullptr));
  ASSERT_EQ(1, camera->SetDeviceNumber(0));
  EXPECT_FALSE(Exists("Camera_00\\Gain"));
  ASSERT_EQ(1, camera->SetAutoIris(1));
  ASSERT_EQ(1, camera->SetDeviceNumber(1));
  EXPECT_EQ(1u, Dword("Camera_00\\Gain", "AutoIris"));
  EXPECT_TRUE(Exists("Camera_00\\Filter"));
  EXPECT_TRUE(Exists("Camera_00\\Gray"));
  int32_t flag = 0;
  EXPECT_EQ(0, camera->GetAutoIris(&flag));  // camera 1 has its own (default) value
}

TEST_F(CameraInstance, NoSettingsAreSavedForACameraNeverOpened) {
  AddCameras(2);
  Put("Camera_00\\Gain", "AutoIris", 2);
  {
    auto camera = Make();
    ASSERT_EQ(1, camera->Initialize(nullptr));
    EXPECT_EQ(0, camera->SetDeviceNumber(7));  // not present
    EXPECT_EQ(kErrNoDevice, camera->PopError());
    ASSERT_EQ(1, camera->SetDeviceNumber(1));
  }
  // Camera 0 was never opened: its stored value survives both the switch and the release.
  EXPECT_EQ(2u, Dword("Camera_00\\Gain", "AutoIris"));
  EXPECT_TRUE(Exists("Camera_01\\Gain"));
}

TEST_F(CameraInstance, MissingColorRTakesColorG1) {
  AddCameras(1);
  Put("Camera_00\\Gain", "Global", 3);
  Put("Camera_00\\Gain", "ColorG1", 21);
  {
    auto camera = Make();
    ASSERT_EQ(1, camera->Initialize(nullptr));
    EXPECT_EQ(21, camera->analogue_settings().color_r);
  }
  EXPECT_EQ(21u, Dword("Camera_00\\Gain", "ColorR"));
  EXPECT_EQ(3u, Dword("Camera_00\\Gain", "Global"));
}

TEST_F(CameraInstance, ReselectingTheOpenNumberDoesNotReopen) {
  AddCameras(1);
  auto camera = Make();
  ASSERT_EQ(1, camera->Initialize(nullptr));
  const uint32_t polls = port_.camera(0).ready_polls();
  EXPECT_EQ(1, camera->SetDeviceNumber(0));
  EXPECT_EQ(polls, port_.camera(0).ready_polls());
  EXPECT_EQ(0, camera->PopError());
}

TEST_F(CameraInstance, UnpluggedCameraFailsSelectionAndKeepsTheCurrentOne) {
  AddCameras(2);
  auto camera = Make();
  ASSERT_EQ(1, camera->Initialize(nullptr));
  ASSERT_EQ(1, camera->SetDeviceNumber(0));
  port_.camera(1).SetPresent(false);
  EXPECT_EQ(0, camera->SetDeviceNumber(1));
  EXPECT_EQ(kErrNoDevice, camera->PopError());
  EXPECT_EQ(0, camera->selected_device());
}

TEST_F(CameraInstance, WithoutCamerasEnumerationLeavesTenEmptyEntries) {
  auto camera = Make();
  ASSERT_EQ(1, camera->Initialize(nullptr));
  EXPECT_EQ(-1, camera->selected_device());
  char names[10 * 256];
  std::memset(names, 'x', sizeof names);
  EXPECT_EQ(0, camera->EnumDevice(names));
  for (int i = 0; i < 10; ++i) EXPECT_EQ('\0', names[i * 256]) << i;
  wchar_t wide[10 * 256];
  std::fill(wide, wide + 10 * 256, L'x');
  EXPECT_EQ(0, camera->EnumDeviceW(wide));
  for (int i = 0; i < 10; ++i) EXPECT_EQ(L'\0', wide[i * 256]) << i;
  char name[32];
  EXPECT_EQ(0, camera->GetDeviceName(0, name, sizeof name));
  EXPECT_EQ(kErrNoDevice, camera->PopError());
  wchar_t wide_name[32] = L"keep";
  EXPECT_EQ(0, camera->GetDeviceNameW(0, wide_name, 32));  // not 1 with an empty name
  EXPECT_EQ(kErrNoDevice, camera->PopError());
  EXPECT_EQ(0, camera->SetDeviceNumber(0));
  EXPECT_EQ(kErrNoDevice, camera->PopError());
}

TEST_F(CameraInstance, EnumerationNamesTenAndCountsEveryCamera) {
  AddCameras(11);
  auto camera = Make();
  ASSERT_EQ(1, camera->Initialize(nullptr));
  // The caller's list plus a guard area that must stay untouched.
  char names[11 * 256];
  std::memset(names, 'g', sizeof names);
  EXPECT_EQ(11, camera->EnumDevice(names));
  EXPECT_STREQ("MorvexVelsaTEC_01", names);
  EXPECT_STREQ("MorvexVelsaTEC_02", names + 256);
  EXPECT_STREQ("MorvexVelsaTEC_10", names + 9 * 256);
  for (int i = 10 * 256; i < 11 * 256; ++i) ASSERT_EQ('g', names[i]) << i;
  wchar_t wide[11 * 256];
  std::fill(wide, wide + 11 * 256, L'g');
  EXPECT_EQ(11, camera->EnumDeviceW(wide));
  EXPECT_EQ(std::wstring(L"MorvexVelsaTEC_10"), wide + 9 * 256);
  for (int i = 10 * 256; i < 11 * 256; ++i) ASSERT_EQ(L'g', wide[i]) << i;
}

TEST_F(CameraInstance, DeviceNameBufferMustHoldTheName) {
  AddCameras(1);
  auto camera = Make();
  ASSERT_EQ(1, camera->Initialize(nullptr));
  char name[32];
  std::memset(name, 'x', sizeof name);
  EXPECT_EQ(0, camera->GetDeviceName(0, name, 16));
  EXPECT_EQ(kErrArgument, camera->PopError());
  // "MorvexVelsaTEC_01" and its terminator take 18 bytes: 17 is refused, not overrun.
  EXPECT_EQ(0, camera->GetDeviceName(0, name, 17));
  EXPECT_EQ(kErrArgument, camera->PopError());
  EXPECT_EQ('x', name[0]);
  EXPECT_EQ(1, camera->GetDeviceName(0, name, 18));
  EXPECT_STREQ("MorvexVelsaTEC_01", name);
  EXPECT_EQ(0, camera->GetDeviceName(32, name, 18));
  EXPECT_EQ(kErrNoDevice, camera->PopError());
  EXPECT_EQ(0, camera->GetDeviceName(-1, name, 18));
  EXPECT_EQ(kErrNoDevice, camera->PopError());
  wchar_t wide[17];
  EXPECT_EQ(0, camera->GetDeviceNameW(0, wide, 17));
  EXPECT_EQ(kErrFile, camera->PopError());
}

TEST_F(CameraInstance, CameraInformationBySize) {
  AddCameras(1);
  auto camera = Make();
  ASSERT_EQ(1, camera->Initialize(nullptr));
  CameraInfoRecord info;
  std::memset(&info, 0x5A, sizeof info);
  info.size = 35;
  EXPECT_EQ(0, camera->GetCameraInfo(&info));
  EXPECT_EQ(kErrBuffer, camera->PopError());
  EXPECT_EQ(0x5A5A5A5A, info.sensor_width);

  info.size = 36;
  EXPECT_EQ(1, camera->GetCameraInfo(&info));
  EXPECT_EQ(640, info.sensor_width);
  EXPECT_EQ(512, info.sensor_height);
  EXPECT_LE(info.min_global_gain, info.max_global_gain);
  EXPECT_LT(0, info.max_exposure);
  EXPECT_LE(info.min_exposure, info.max_exposure);
  EXPECT_EQ(0x5A5A5A5A, info.reserved);
  uint8_t untouched[16];
  std::memset(untouched, 0x5A, sizeof untouched);
  EXPECT_EQ(0, std::memcmp(untouched, &info.min_exposure_time, 16));

  info.size = 56;
  EXPECT_EQ(1, camera->GetCameraInfo(&info));
  EXPECT_EQ(0x5A5A5A5A, info.reserved);
  EXPECT_LT(0.0, info.min_exposure_time);
  EXPECT_LT(info.min_exposure_time, info.max_exposure_time);
  EXPECT_EQ(0, camera->GetCameraInfo(nullptr));
  EXPECT_EQ(kErrArgument, camera->PopError());
}

TEST_F(CameraInstance, RegistersReachTheEmulatedSensorAndFpga) {
  AddCameras(1);
  auto camera = Make();
  ASSERT_EQ(1, camera->Initialize(nullptr));
  // Black level register of the sensor (16-bit address).
  EXPECT_EQ(1, camera->WriteSensorRegister(0x3012, 0x1A5, true));
  EXPECT_EQ(0xA5, port_.camera(0).PeekSensorRegister(0x3012));
  int32_t flag = 0;
  EXPECT_EQ(0xA5, camera->ReadSensorRegister(0x3012, true, &flag));
  EXPECT_EQ(1, flag);
  // The plain form keeps the low 8 bits of the address.
  EXPECT_EQ(1, camera->WriteSensorRegister(0x3012, 0x33, false));
  EXPECT_EQ(0x33, port_.camera(0).PeekSensorRegister(0x0012));
  EXPECT_EQ(0xA5, port_.camera(0).PeekSensorRegister(0x3012));

  EXPECT_EQ(1, camera->WriteFpgaRegister(0x107, 0x5C));
  EXPECT_EQ(0x5C, port_.camera(0).PeekFpgaRegister(7));
  EXPECT_EQ(0x5C, camera->ReadFpgaRegister(7, &flag));
  EXPECT_EQ(1, flag);
  uint8_t io = 0;
  EXPECT_EQ(1, camera->SetIOPort(0x1C3));
  EXPECT_EQ(1, camera->GetIOPort(&io));
  EXPECT_EQ(0xC3, io);
}

TEST_F(CameraInstance, SerialNumberRoundTripsThroughTheEeprom) {
  AddCameras(1);
  auto camera = Make();
  ASSERT_EQ(1, camera->Initialize(nullptr));
  const char serial[] = "QX-2026-0815";
  for (size_t i = 0; i < sizeof serial; ++i)
    ASSERT_EQ(1, camera->WriteSromId(kSerialAddress + static_cast<int32_t>(i),
                                     0x300 | static_cast<uint8_t>(serial[i])));
  EXPECT_EQ('Q', port_.camera(0).PeekEeprom(kSerialAddress));
  int32_t flag = 0;
  EXPECT_EQ('X', camera->ReadSromId(0x10000 | (kSerialAddress + 1), &flag));
  EXPECT_EQ(1, flag);

  char text[32];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(1, camera->ReadSerialNumber(text, 32));
  EXPECT_STREQ(serial, text);
  EXPECT_EQ(0, camera->ReadSerialNumber(text, 31));
  EXPECT_EQ(kErrArgument, camera->PopError());
  wchar_t wide[32];
  EXPECT_EQ(1, camera->ReadSerialNumberW(wide, 32));
  EXPECT_EQ(std::wstring(L"QX-2026-0815"), wide);
  EXPECT_EQ(0, camera->ReadSerialNumberW(wide, 12));  // 12 characters need 13
  EXPECT_EQ(kErrFile, camera->PopError());
}

TEST_F(CameraInstance, EarlyEndedInitialisationAnswersBufferErrors) {
  AddCameras(1);
  int window = 0;
  auto camera = Make(/*notices_fail=*/true);
  EXPECT_EQ(0, camera->Initialize(&window));
  EXPECT_FALSE(camera->buffers_ready());
  EXPECT_EQ(-1, camera->selected_device());
  // The device object exists: enumeration works, buffer users refuse.
  EXPECT_EQ(1, camera->StartPreview() == 0);
  EXPECT_EQ(kErrBuffer, camera->PopError());
  EXPECT_EQ(0, camera->Capture());
  EXPECT_EQ(kErrBuffer, camera->PopError());
  EXPECT_EQ(0, camera->LoadMaskFile("mask.msk"));
  EXPECT_EQ(kErrBuffer, camera->PopError());
  EXPECT_EQ(0, camera->UpdateMaskData(0));
  EXPECT_EQ(kErrBuffer, camera->PopError());
  EXPECT_EQ(0, camera->GetImage(nullptr, 0, 0));
  EXPECT_EQ(kErrBuffer, camera->PopError());
  camera.reset();
  EXPECT_FALSE(Exists("Camera_00"));
}

TEST_F(CameraInstance, InitialiseAgainReplacesTheDeviceObject) {
  AddCameras(1);
  auto camera = Make();
  ASSERT_EQ(1, camera->Initialize(nullptr));
  const CMorvexZ3U2Base* first = camera->device();
  ASSERT_EQ(1, camera->Initialize(nullptr));
  EXPECT_NE(nullptr, camera->device());
  EXPECT_EQ(0, camera->selected_device());
  (void)first;
  EXPECT_EQ(1, CMorvexZ3U2Base::live_objects());
}

}  // namespace
}  // namespace morvex
