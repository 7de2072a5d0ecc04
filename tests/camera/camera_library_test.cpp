// The camera as an application sees it: the shipped library loaded at run
// time, the emulator configured through the registry. Each scenario runs in a
// child process of its own, since a process reads the emulator configuration
// once; the parent prepares and checks the registry around it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "MorvexSdk.h"
#include "child_process.h"
#include "platform/clock.h"
#include "platform/settings_store.h"
#include "sdk_library.h"

namespace {

// The keys the library uses in this program's test namespace.
const std::string& kSdkKey = morvex::test::SdkKey();
const std::string& kEmulatorKey = morvex::test::EmulatorKey();

using morvex::platform::SettingsKey;

std::string Key(const std::string& relative) { return std::string(kSdkKey) + "\\" + relative; }

bool Query(const std::string& path, const char* name, uint32_t* value) {
  SettingsKey key;
  return key.Open(path) && key.QueryDword(name, value);
}

uint32_t Dword(const std::string& path, const char* name) {
  uint32_t value = 0xDEADBEEF;
  EXPECT_TRUE(Query(path, name, &value)) << path << " " << name;
  return value;
}

void Put(const std::string& path, const char* name, uint32_t value) {
  SettingsKey key;
  ASSERT_TRUE(key.Create(path));
  ASSERT_TRUE(key.SetDword(name, value));
}

bool Exists(const std::string& path) {
  SettingsKey key;
  return key.Open(path);
}

// ---- The parent: registry set-up, one child per scenario, registry checks ----

int RunScenario(const char* name) {
  return morvex::test::RunSelf({"--child", std::string("--gtest_filter=Child.") + name});
}

class Library : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  static void Clean() {
    SettingsKey::DeleteTree(kSdkKey);
    SettingsKey::DeleteTree(kEmulatorKey);
  }
};

TEST_F(Library, OneCameraOpensAtInitialiseAndKeepsItsSettings) {
  Put(kEmulatorKey, "Cameras", 1);
  ASSERT_EQ(0, RunScenario("OneCamera"));
  // First use: the layout under the number that was selected while sizes loaded.
  EXPECT_EQ(640u, Dword(Key("Camera_-1\\Size_00"), "TH"));
  EXPECT_EQ(512u, Dword(Key("Camera_-1\\Size_00"), "EV"));
  EXPECT_EQ(4u, Dword(Key("Camera_-1\\Size_00"), "Buf"));
  EXPECT_EQ(1u, Dword(Key("Camera_-1"), "Color"));
  EXPECT_EQ(1u, Dword(Key("Camera_-1"), "WaitTime"));
  // Release saved camera 0's settings, with the values the child set.
  EXPECT_EQ(1u, Dword(Key("Camera_00\\Gain"), "AutoIris"));
  EXPECT_EQ(100u, Dword(Key("Camera_00\\Filter"), "Gamma"));
  EXPECT_EQ(128u, Dword(Key("Camera_00\\Gray"), "GainR1"));
}

TEST_F(Library, TwoCamerasWaitForSelectionAndSwitchSavesSettings) {
  Put(kEmulatorKey, "Cameras", 2);
  Put(Key("Camera_01\\Gain"), "V_Mirror", 1);
  Put(Key("Camera_01\\Gain"), "AutoIris", 2);
  Put(Key("Camera_01\\Gain"), "ColorG1", 9);  // no "ColorR"
  Put(Key("Camera_01"), "WaitTime", 5);
  ASSERT_EQ(0, RunScenario("TwoCameras"));
  // Switching to camera 0 saved camera 1; the missing ColorR took ColorG1's value.
  EXPECT_EQ(9u, Dword(Key("Camera_01\\Gain"), "ColorR"));
  EXPECT_EQ(2u, Dword(Key("Camera_01\\Gain"), "AutoIris"));
  EXPECT_EQ(1u, Dword(Key("Camera_01\\Gain"), "V_Mirror"));
  EXPECT_TRUE(Exists(Key("Camera_00\\Gain")));  // saved at release
}

TEST_F(Library, NoCameraEnumeratesNothing) {
  Put(kEmulatorKey, "Cameras", 0);
  ASSERT_EQ(0, RunScenario("NoCamera"));
  EXPECT_FALSE(Exists(Key("Camera_00")));  // nothing was opened, nothing saved
}

// ---- The children: only the exports ----

class Child : public ::testing::Test {
 protected:
  // Done, the application unloads the library and goes on: nothing the
  // library started may still run in the unloaded code.
  void TearDown() override {
    sdk.Unload();
    morvex::platform::SystemClock().Sleep(300);
  }
  morvex::test::SdkLibrary sdk;
};

TEST_F(Child, OneCamera) {
  ASSERT_TRUE(sdk.loaded());
  MORVEX_EXPORT(sdk, Morvex_Initialize);
  MORVEX_EXPORT(sdk, Morvex_Release);
  MORVEX_EXPORT(sdk, Morvex_GetLastError);
  MORVEX_EXPORT(sdk, Morvex_EnumDevice);
  MORVEX_EXPORT(sdk, Morvex_GetDeviceName);
  MORVEX_EXPORT(sdk, Morvex_GetDeviceNameW);
  MORVEX_EXPORT(sdk, Morvex_SetDeviceNumber);
  MORVEX_EXPORT(sdk, Morvex_GetCameraInfo);
  MORVEX_EXPORT(sdk, Morvex_ReadRegisterEx);
  MORVEX_EXPORT(sdk, Morvex_WriteRegisterEx);
  MORVEX_EXPORT(sdk, Morvex_ReadRegister);
  MORVEX_EXPORT(sdk, Morvex_Fpga_ReadRegister);
  MORVEX_EXPORT(sdk, Morvex_Fpga_WriteRegister);
  MORVEX_EXPORT(sdk, Morvex_GetIOPort);
  MORVEX_EXPORT(sdk, Morvex_SetIOPort);
  MORVEX_EXPORT(sdk, Morvex_ReadSromID);
  MORVEX_EXPORT(sdk, Morvex_WriteSromID);
  MORVEX_EXPORT(sdk, Morvex_ReadSerialNumberA);
  MORVEX_EXPORT(sdk, Morvex_ReadSerialNumberW);
  MORVEX_EXPORT(sdk, Morvex_SetAutoIris);
  MORVEX_EXPORT(sdk, Morvex_Close);

  const int camera = Morvex_Initialize(nullptr);
  ASSERT_NE(0, camera);
  EXPECT_EQ(0, Morvex_GetLastError(camera));

  // Selected without Morvex_SetDeviceNumber; named by its number.
  char name[32];
  EXPECT_EQ(0, Morvex_GetDeviceName(camera, 0, name, 16));
  EXPECT_EQ(MORVEX_ERR_ARGUMENT, Morvex_GetLastError(camera));
  EXPECT_EQ(0, Morvex_GetDeviceName(camera, 0, name, 17));  // the name needs 18 bytes
  EXPECT_EQ(MORVEX_ERR_ARGUMENT, Morvex_GetLastError(camera));
  EXPECT_EQ(1, Morvex_GetDeviceName(camera, 0, name, 18));
  EXPECT_STREQ("MorvexVelsaTEC_01", name);
  wchar_t wide[32];
  EXPECT_EQ(1, Morvex_GetDeviceNameW(camera, 0, wide, 32));
  EXPECT_EQ(std::wstring(L"MorvexVelsaTEC_01"), wide);
  EXPECT_EQ(0, Morvex_GetDeviceNameW(camera, 1, wide, 32));
  EXPECT_EQ(MORVEX_ERR_NO_DEVICE, Morvex_GetLastError(camera));
  char names[10 * 256];
  std::memset(names, 'x', sizeof names);
  EXPECT_EQ(1, Morvex_EnumDevice(camera, names));
  EXPECT_STREQ("MorvexVelsaTEC_01", names);
  for (int i = 1; i < 10; ++i) EXPECT_EQ('\0', names[i * 256]);
  EXPECT_EQ(1, Morvex_SetDeviceNumber(camera, 0));  // already open
  EXPECT_EQ(0, Morvex_GetLastError(camera));

  MORVEX_CAMERA_INFO info;
  std::memset(&info, 0x5A, sizeof info);
  info.size = 35;
  EXPECT_EQ(0, Morvex_GetCameraInfo(camera, &info));
  EXPECT_EQ(MORVEX_ERR_BUFFER, Morvex_GetLastError(camera));
  info.size = 36;
  EXPECT_EQ(1, Morvex_GetCameraInfo(camera, &info));
  EXPECT_EQ(640, info.sensorWidth);
  EXPECT_EQ(512, info.sensorHeight);
  EXPECT_LE(info.minExposure, info.maxExposure);
  unsigned char pattern[16];
  std::memset(pattern, 0x5A, sizeof pattern);
  EXPECT_EQ(0, std::memcmp(pattern, &info.minExposureTime, 16));
  info.size = 56;
  EXPECT_EQ(1, Morvex_GetCameraInfo(camera, &info));
  EXPECT_LT(0.0, info.minExposureTime);
  EXPECT_LT(info.minExposureTime, info.maxExposureTime);

  // Sensor and FPGA registers of the emulated camera.
  int flag = 0;
  EXPECT_EQ(1, Morvex_WriteRegisterEx(camera, 0x3012, 0x4B));
  EXPECT_EQ(0x4B, Morvex_ReadRegisterEx(camera, 0x3012, &flag));
  EXPECT_EQ(1, flag);
  flag = 7;
  Morvex_ReadRegister(camera, 0x3012, &flag);  // reaches address 0x12, not 0x3012
  EXPECT_EQ(1, flag);
  EXPECT_EQ(1, Morvex_Fpga_WriteRegister(camera, 7, 0x2D));
  EXPECT_EQ(0x2D, Morvex_Fpga_ReadRegister(camera, 7, &flag));
  EXPECT_EQ(1, flag);
  unsigned char io = 0;
  EXPECT_EQ(1, Morvex_SetIOPort(camera, 0x3A6));
  EXPECT_EQ(1, Morvex_GetIOPort(camera, &io, 0, 0));
  EXPECT_EQ(0xA6, io);

  // Serial number round trip through the EEPROM.
  const char serial[] = "QX-0042";
  for (int i = 0; i < static_cast<int>(sizeof serial); ++i)
    ASSERT_EQ(1, Morvex_WriteSromID(camera, 0x1040 + i, static_cast<unsigned char>(serial[i])));
  EXPECT_EQ('Q', Morvex_ReadSromID(camera, 0x1040, &flag));
  EXPECT_EQ(1, flag);
  char text[32];
  EXPECT_EQ(0, Morvex_ReadSerialNumberA(camera, text, 31));
  EXPECT_EQ(MORVEX_ERR_ARGUMENT, Morvex_GetLastError(camera));
  EXPECT_EQ(1, Morvex_ReadSerialNumberA(camera, text, 32));
  EXPECT_STREQ(serial, text);
  EXPECT_EQ(1, Morvex_ReadSerialNumberW(camera, wide, 32));
  EXPECT_EQ(std::wstring(L"QX-0042"), wide);

  EXPECT_EQ(1, Morvex_SetAutoIris(camera, 1));
  EXPECT_EQ(1, Morvex_Close(camera));
  EXPECT_EQ(1, Morvex_Release(camera));
}

TEST_F(Child, TwoCameras) {
  ASSERT_TRUE(sdk.loaded());
  MORVEX_EXPORT(sdk, Morvex_Initialize);
  MORVEX_EXPORT(sdk, Morvex_Release);
  MORVEX_EXPORT(sdk, Morvex_GetLastError);
  MORVEX_EXPORT(sdk, Morvex_EnumDeviceW);
  MORVEX_EXPORT(sdk, Morvex_SetDeviceNumber);
  MORVEX_EXPORT(sdk, Morvex_GetMirrorV);
  MORVEX_EXPORT(sdk, Morvex_GetAutoIris);
  MORVEX_EXPORT(sdk, Morvex_ReadRegisterEx);

  const int camera = Morvex_Initialize(nullptr);
  ASSERT_NE(0, camera);
  wchar_t names[10 * 256];
  EXPECT_EQ(2, Morvex_EnumDeviceW(camera, names));
  EXPECT_EQ(std::wstring(L"MorvexVelsaTEC_01"), names);
  EXPECT_EQ(std::wstring(L"MorvexVelsaTEC_02"), names + 256);
  EXPECT_EQ(L'\0', names[2 * 256]);

  // Nothing selected: the device registers cannot be reached yet.
  int flag = 1;
  Morvex_ReadRegisterEx(camera, 0x0404, &flag);
  EXPECT_EQ(0, flag);
  EXPECT_EQ(MORVEX_ERR_DEVICE_IO, Morvex_GetLastError(camera));

  ASSERT_EQ(1, Morvex_SetDeviceNumber(camera, 1));
  EXPECT_EQ(1, Morvex_GetMirrorV(camera));
  EXPECT_EQ(2, Morvex_GetAutoIris(camera, &flag));
  // Mirror register: bit 0 vertical, bit 1 horizontal.
  EXPECT_EQ(1, Morvex_ReadRegisterEx(camera, 0x0404, &flag) & 1);
  EXPECT_EQ(1, flag);
  ASSERT_EQ(1, Morvex_SetDeviceNumber(camera, 0));
  EXPECT_EQ(0, Morvex_GetLastError(camera));

  // Unplugging camera 1 through the emulator's registry values.
  {
    SettingsKey key;
    ASSERT_TRUE(key.Create(std::string(kEmulatorKey) + "\\Camera_01"));
    ASSERT_TRUE(key.SetDword("Present", 0));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(0, Morvex_SetDeviceNumber(camera, 1));
  EXPECT_EQ(MORVEX_ERR_NO_DEVICE, Morvex_GetLastError(camera));
  EXPECT_EQ(1, Morvex_Release(camera));
}

TEST_F(Child, NoCamera) {
  ASSERT_TRUE(sdk.loaded());
  MORVEX_EXPORT(sdk, Morvex_Initialize);
  MORVEX_EXPORT(sdk, Morvex_Release);
  MORVEX_EXPORT(sdk, Morvex_GetLastError);
  MORVEX_EXPORT(sdk, Morvex_EnumDevice);
  MORVEX_EXPORT(sdk, Morvex_GetDeviceNameW);
  MORVEX_EXPORT(sdk, Morvex_SetDeviceNumber);

  const int camera = Morvex_Initialize(nullptr);
  ASSERT_NE(0, camera);
  char names[10 * 256];
  std::memset(names, 'x', sizeof names);
  EXPECT_EQ(0, Morvex_EnumDevice(camera, names));
  for (int i = 0; i < 10; ++i) EXPECT_EQ('\0', names[i * 256]) << i;
  wchar_t wide[32] = L"keep";
  EXPECT_EQ(0, Morvex_GetDeviceNameW(camera, 0, wide, 32));
  EXPECT_EQ(MORVEX_ERR_NO_DEVICE, Morvex_GetLastError(camera));
  EXPECT_EQ(0, Morvex_SetDeviceNumber(camera, 0));
  EXPECT_EQ(MORVEX_ERR_NO_DEVICE, Morvex_GetLastError(camera));
  EXPECT_EQ(1, Morvex_Release(camera));
}

}  // namespace

int main(int argc, char** argv) {
  bool child = false;
  for (int i = 1; i < argc; ++i) child = child || std::strcmp(argv[i], "--child") == 0;
  ::testing::InitGoogleTest(&argc, argv);
  if (!child) ::testing::GTEST_FLAG(filter) = "Library.*";
  return RUN_ALL_TESTS();
}
