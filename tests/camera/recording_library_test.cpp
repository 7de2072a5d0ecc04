// Recording through the shipped library, loaded the way an application
// loads it, against the emulator's ramp: the files open in ffprobe with
// every frame, the frames are the picture, and every way a recording ends
// leaves a finalised file.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "MorvexSdk.h"
#include "avi_probe.h"
#include "platform/settings_store.h"
#include "sdk_library.h"
#include "paths.h"

namespace {

using morvex::platform::SettingsKey;
using morvex::test::CheckAviLayout;
using morvex::test::ReadAll;
using morvex::test::U32;

const std::string& kSdkKey = morvex::test::SdkKey();
const std::string& kEmulatorKey = morvex::test::EmulatorKey();

void SetEmulated(const char* name, uint32_t value) {
  SettingsKey key;
  ASSERT_TRUE(key.Create(kEmulatorKey + "\\Camera_00"));
  ASSERT_TRUE(key.SetDword(name, value));
}

class Recording : public ::testing::Test {
  // Public: the endings below reach the exports through a reference.
 public:
  static void SetUpTestSuite() {
    SettingsKey::DeleteTree(kSdkKey);
    SettingsKey::DeleteTree(kEmulatorKey);
    SettingsKey key;
    ASSERT_TRUE(key.Create(kEmulatorKey));
    ASSERT_TRUE(key.SetDword("Cameras", 1));
    SetEmulated("Scene", 1);             // the ramp
    sdk = new morvex::test::SdkLibrary;  // kept until exit
  }
  static void TearDownTestSuite() {
    SettingsKey::DeleteTree(kSdkKey);
    SettingsKey::DeleteTree(kEmulatorKey);
  }
  void SetUp() override {
    ASSERT_TRUE(sdk->loaded());
    camera = Morvex_Initialize(nullptr);
    ASSERT_NE(0, camera);
  }
  void TearDown() override {
    Morvex_Release(camera);
    for (const std::string& path : created) std::remove(path.c_str());
  }
  std::string Path() {
    created.push_back(morvex::test::TempPath("record") + ".avi");
    return created.back();
  }

  // The file once the library has finalised it (it holds it open until then).
  static std::vector<uint8_t> Finalised(const std::string& path) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
      std::vector<uint8_t> file = ReadAll(path);
      if (file.size() > 224 && U32(file, 4) == file.size() - 8) return file;
      if (std::chrono::steady_clock::now() > give_up) return file;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  // A complete AVI of the emulator's geometry that ffprobe reads whole.
  static uint32_t ExpectComplete(const std::string& path) {
    const std::vector<uint8_t> file = Finalised(path);
    const uint32_t frames = U32(file, 48);
    EXPECT_EQ("", CheckAviLayout(file, 640, 512, frames)) << path;
    const morvex::test::ProbeResult probe = morvex::test::Probe(path);
    EXPECT_TRUE(probe.ran)
        << "ffprobe could not be run: install Debian's ffmpeg package (tools/setup.sh does)";
    EXPECT_EQ(static_cast<int64_t>(frames), probe.frames) << probe.output;
    return frames;
  }

  static inline morvex::test::SdkLibrary* sdk = nullptr;
  MORVEX_EXPORT(*sdk, Morvex_Initialize);
  MORVEX_EXPORT(*sdk, Morvex_Release);
  MORVEX_EXPORT(*sdk, Morvex_GetLastError);
  MORVEX_EXPORT(*sdk, Morvex_SetColorMode);
  MORVEX_EXPORT(*sdk, Morvex_Record);
  MORVEX_EXPORT(*sdk, Morvex_RecordW);
  MORVEX_EXPORT(*sdk, Morvex_StopPreview);
  MORVEX_EXPORT(*sdk, Morvex_Close);
  MORVEX_EXPORT(*sdk, Morvex_Capture);
  int camera = 0;
  std::vector<std::string> created;
};

TEST_F(Recording, TheRampForOneSecondAtEightAndSixteenBits) {
  for (int bits : {8, 16}) {
    SCOPED_TRACE(std::to_string(bits) + " bits");
    ASSERT_EQ(1, Morvex_SetColorMode(camera, bits));
    const std::string path = Path();
    if (bits == 8) {
      ASSERT_EQ(1, Morvex_Record(camera, path.c_str(), 1000, 1));
    } else {
      const std::wstring wide(path.begin(), path.end());
      ASSERT_EQ(1, Morvex_RecordW(camera, wide.c_str(), 1000, 1));
    }
    const uint32_t frames = ExpectComplete(path);
    EXPECT_GE(frames, 2u);
    const std::vector<uint8_t> file = ReadAll(path);
    // Bottom row first; grey as equal blue, green and red; the top 8 of the
    // 12 significant bits at either depth.
    int wrong = 0;
    for (int row = 0; row < 512 && wrong < 5 && file.size() > 232 + 983040; ++row) {
      const int y = 511 - row;
      for (int x = 0; x < 640 && wrong < 5; ++x) {
        const uint8_t* p = file.data() + 232 + (static_cast<size_t>(row) * 640 + x) * 3;
        const int expected = ((x + 4 * y) % 4096) >> 4;
        if (p[0] != expected || p[1] != expected || p[2] != expected) {
          ADD_FAILURE() << "(" << x << ", " << y << "): " << int(p[0]) << " " << int(p[1]) << " " << int(p[2])
                        << ", expected " << expected;
          ++wrong;
        }
      }
    }
    EXPECT_EQ(1, Morvex_StopPreview(camera));
  }
}

TEST_F(Recording, DurationZeroRecordsTwoFrames) {
  const std::string path = Path();
  ASSERT_EQ(1, Morvex_Record(camera, path.c_str(), 0, 0));
  EXPECT_EQ(2u, ExpectComplete(path));
  EXPECT_EQ(1, Morvex_StopPreview(camera));
}

TEST_F(Recording, AnEmptyPathStartsNothing) {
  EXPECT_EQ(0, Morvex_Record(camera, "", 1000, 0));
  EXPECT_EQ(MORVEX_ERR_ARGUMENT, Morvex_GetLastError(camera));
  EXPECT_EQ(0, Morvex_Record(camera, nullptr, 1000, 0));
  EXPECT_EQ(MORVEX_ERR_ARGUMENT, Morvex_GetLastError(camera));
  EXPECT_EQ(0, Morvex_RecordW(camera, L"", 1000, 0));
  EXPECT_EQ(MORVEX_ERR_ARGUMENT, Morvex_GetLastError(camera));
  EXPECT_EQ(1, Morvex_Capture(camera));  // still idle: no preview was started
}

// Unplugging comes last: the emulated camera is plugged in again afterwards.
TEST_F(Recording, EveryEndingLeavesAFinalisedFile) {
  struct Ending {
    const char* name;
    void (*end)(Recording&);
  } endings[] = {
      {"StopPreview", [](Recording& t) { EXPECT_EQ(1, t.Morvex_StopPreview(t.camera)); }},
      {"Close", [](Recording& t) { EXPECT_EQ(1, t.Morvex_Close(t.camera)); }},
      {"unplug", [](Recording&) { SetEmulated("Present", 0); }},
  };
  for (const Ending& ending : endings) {
    SCOPED_TRACE(ending.name);
    const std::string path = Path();
    ASSERT_EQ(1, Morvex_Record(camera, path.c_str(), 600000, 0));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    ending.end(*this);
    EXPECT_GE(ExpectComplete(path), 1u);
  }
  Morvex_StopPreview(camera);
  SetEmulated("Present", 1);
}

}  // namespace
