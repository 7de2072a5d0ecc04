#include "platform/settings_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "paths.h"

namespace morvex::platform {
namespace {

class Settings : public ::testing::Test {
 protected:
  test::PrivateSettings store_;
};

TEST_F(Settings, CreateReportsWhetherTheKeyIsNew) {
  const std::string path = store_.Path("Camera_00");
  SettingsKey key;
  EXPECT_FALSE(key.Open(path));
  EXPECT_FALSE(key.is_open());
  bool created = false;
  ASSERT_TRUE(key.Create(path, &created));
  EXPECT_TRUE(created);
  EXPECT_TRUE(key.is_open());
  key.Close();
  EXPECT_FALSE(key.is_open());
  created = true;
  ASSERT_TRUE(key.Create(path, &created));
  EXPECT_FALSE(created);
  SettingsKey reopened;
  EXPECT_TRUE(reopened.Open(path));
}

TEST_F(Settings, CreateMakesTheWholePath) {
  SettingsKey key;
  ASSERT_TRUE(key.Create(store_.Path("Camera_03\\Size_00")));
  SettingsKey parent;
  EXPECT_TRUE(parent.Open(store_.Path("Camera_03")));
  bool created = true;
  EXPECT_TRUE(parent.Create(store_.Path("Camera_03"), &created));
  EXPECT_FALSE(created);
}

TEST_F(Settings, ValuesOfEachTypeSurviveReopening) {
  const std::string path = store_.Path("Camera_00\\Gain");
  const double exposure = 0.0125;
  {
    SettingsKey key;
    ASSERT_TRUE(key.Create(path));
    EXPECT_TRUE(key.SetDword("Global", 0xDEADBEEF));
    EXPECT_TRUE(key.SetDword("Zero", 0));
    EXPECT_TRUE(key.SetString("Name", "Camera \"one\" \\ C:\\path\nline two\ttab"));
    EXPECT_TRUE(key.SetString("Empty", ""));
    EXPECT_TRUE(key.SetBinary("ExposureEx", &exposure, sizeof exposure));
    EXPECT_TRUE(key.SetBinary("Nothing", nullptr, 0));
  }
  SettingsKey key;
  ASSERT_TRUE(key.Open(path));
  uint32_t number = 1;
  EXPECT_TRUE(key.QueryDword("Global", &number));
  EXPECT_EQ(number, 0xDEADBEEFu);
  EXPECT_TRUE(key.QueryDword("Zero", &number));
  EXPECT_EQ(number, 0u);
  std::string text;
  EXPECT_TRUE(key.QueryString("Name", &text));
  EXPECT_EQ(text, "Camera \"one\" \\ C:\\path\nline two\ttab");
  EXPECT_TRUE(key.QueryString("Empty", &text));
  EXPECT_EQ(text, "");
  double read_back = 0;
  uint32_t size = 0;
  EXPECT_TRUE(key.QueryBinary("ExposureEx", &read_back, sizeof read_back, &size));
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(read_back, exposure);
  EXPECT_TRUE(key.QueryBinary("Nothing", &read_back, sizeof read_back, &size));
  EXPECT_EQ(size, 0u);
}

TEST_F(Settings, OverwritingReplacesValueAndType) {
  SettingsKey key;
  ASSERT_TRUE(key.Create(store_.Path("Filter")));
  ASSERT_TRUE(key.SetDword("Gamma", 100));
  ASSERT_TRUE(key.SetDword("Gamma", 220));
  uint32_t gamma = 0;
  EXPECT_TRUE(key.QueryDword("Gamma", &gamma));
  EXPECT_EQ(gamma, 220u);
  ASSERT_TRUE(key.SetString("Gamma", "2.2"));
  EXPECT_EQ(key.TypeOf("Gamma"), ValueType::kString);
}

TEST_F(Settings, MissingValuesFailAndLeaveTheOutputAlone) {
  SettingsKey key;
  ASSERT_TRUE(key.Create(store_.Path("Gray")));
  uint32_t number = 77;
  EXPECT_FALSE(key.QueryDword("Mode", &number));
  EXPECT_EQ(number, 77u);
  std::string text = "kept";
  EXPECT_FALSE(key.QueryString("Mode", &text));
  EXPECT_EQ(text, "kept");
  unsigned char bytes[4] = {1, 2, 3, 4};
  EXPECT_FALSE(key.QueryBinary("Mode", bytes, sizeof bytes, nullptr));
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(key.TypeOf("Mode"), ValueType::kNone);
  EXPECT_FALSE(key.DeleteValue("Mode"));
}

TEST_F(Settings, TypeOfReportsTheStoredType) {
  SettingsKey key;
  ASSERT_TRUE(key.Create(store_.Path("Types")));
  const uint8_t blob[3] = {9, 8, 7};
  ASSERT_TRUE(key.SetDword("D", 1));
  ASSERT_TRUE(key.SetString("S", "x"));
  ASSERT_TRUE(key.SetBinary("B", blob, sizeof blob));
  EXPECT_EQ(key.TypeOf("D"), ValueType::kDword);
  EXPECT_EQ(key.TypeOf("S"), ValueType::kString);
  EXPECT_EQ(key.TypeOf("B"), ValueType::kBinary);
  EXPECT_EQ(key.TypeOf("X"), ValueType::kNone);
}

TEST_F(Settings, AValueOfAnotherTypeIsNotReadAsANumberOrText) {
  SettingsKey key;
  ASSERT_TRUE(key.Create(store_.Path("Mixed")));
  ASSERT_TRUE(key.SetString("Size", "12"));
  const uint8_t two[2] = {5, 0};
  ASSERT_TRUE(key.SetBinary("Color", two, sizeof two));
  ASSERT_TRUE(key.SetDword("Clock", 3));
  uint32_t number = 55;
  EXPECT_FALSE(key.QueryDword("Size", &number));
  EXPECT_FALSE(key.QueryDword("Color", &number));
  EXPECT_EQ(number, 55u);
  std::string text = "kept";
  EXPECT_FALSE(key.QueryString("Clock", &text));
  EXPECT_EQ(text, "kept");
}

TEST_F(Settings, BinaryLargerThanTheBufferReadsNothingButReportsItsSize) {
  SettingsKey key;
  ASSERT_TRUE(key.Create(store_.Path("Gain")));
  const uint8_t eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_TRUE(key.SetBinary("ExposureEx", eight, sizeof eight));
  uint8_t small[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  uint32_t size = 0;
  EXPECT_FALSE(key.QueryBinary("ExposureEx", small, sizeof small, &size));
  EXPECT_EQ(size, 8u);
  for (uint8_t b : small) EXPECT_EQ(b, 0xEE);
  uint8_t exact[8] = {};
  EXPECT_TRUE(key.QueryBinary("ExposureEx", exact, sizeof exact, &size));
  EXPECT_EQ(std::memcmp(exact, eight, 8), 0);
}

TEST_F(Settings, KeyAndValueNamesIgnoreCase) {
  {
    SettingsKey key;
    ASSERT_TRUE(key.Create(store_.Path("Camera_00\\Gain")));
    ASSERT_TRUE(key.SetDword("V_Mirror", 1));
  }
  SettingsKey key;
  ASSERT_TRUE(key.Open(store_.Path("CAMERA_00\\gain")));
  uint32_t mirror = 0;
  EXPECT_TRUE(key.QueryDword("v_mirror", &mirror));
  EXPECT_EQ(mirror, 1u);
  ASSERT_TRUE(key.SetDword("V_MIRROR", 0));
  EXPECT_TRUE(key.QueryDword("V_Mirror", &mirror));
  EXPECT_EQ(mirror, 0u);
  bool created = true;
  SettingsKey same;
  EXPECT_TRUE(same.Create(store_.Path("camera_00\\GAIN"), &created));
  EXPECT_FALSE(created);
}

TEST_F(Settings, DeleteValueRemovesOnlyThatValue) {
  SettingsKey key;
  ASSERT_TRUE(key.Create(store_.Path("Filter")));
  ASSERT_TRUE(key.SetDword("Hue", 1));
  ASSERT_TRUE(key.SetDword("Saturation", 2));
  EXPECT_TRUE(key.DeleteValue("Hue"));
  EXPECT_EQ(key.TypeOf("Hue"), ValueType::kNone);
  uint32_t saturation = 0;
  EXPECT_TRUE(key.QueryDword("Saturation", &saturation));
  EXPECT_EQ(saturation, 2u);
}

TEST_F(Settings, DeleteTreeRemovesTheKeyAndEverythingBelow) {
  {
    SettingsKey key;
    ASSERT_TRUE(key.Create(store_.Path("Camera_00\\Size_00")));
    ASSERT_TRUE(key.SetDword("TH", 640));
    ASSERT_TRUE(key.Create(store_.Path("Camera_00\\Gain")));
    ASSERT_TRUE(key.Create(store_.Path("Camera_001")));  // a sibling sharing the prefix
  }
  EXPECT_TRUE(SettingsKey::DeleteTree(store_.Path("Camera_00")));
  SettingsKey key;
  EXPECT_FALSE(key.Open(store_.Path("Camera_00")));
  EXPECT_FALSE(key.Open(store_.Path("Camera_00\\Size_00")));
  EXPECT_FALSE(key.Open(store_.Path("Camera_00\\Gain")));
  EXPECT_TRUE(key.Open(store_.Path("Camera_001")));
  EXPECT_TRUE(key.Open(store_.root()));
  EXPECT_FALSE(SettingsKey::DeleteTree(store_.Path("Camera_00"))) << "nothing left to delete";
}

TEST_F(Settings, WritesThroughAKeyWhoseTreeWasDeletedFail) {
  SettingsKey key;
  ASSERT_TRUE(key.Create(store_.Path("Doomed")));
  ASSERT_TRUE(SettingsKey::DeleteTree(store_.Path("Doomed")));
  EXPECT_FALSE(key.SetDword("Late", 1));
  SettingsKey check;
  EXPECT_FALSE(check.Open(store_.Path("Doomed")));
}

TEST_F(Settings, BadPathsAndNamesAreRefused) {
  SettingsKey key;
  EXPECT_FALSE(key.Create(""));
  EXPECT_FALSE(key.Open(""));
  EXPECT_FALSE(key.Create(store_.Path("a\\\\b")));
  uint32_t number = 0;
  EXPECT_FALSE(key.QueryDword("Size", &number)) << "no key open";
  EXPECT_FALSE(key.SetDword("Size", 1)) << "no key open";
  ASSERT_TRUE(key.Create(store_.Path("Ok")));
  EXPECT_FALSE(key.SetDword(nullptr, 1));
  EXPECT_FALSE(key.QueryDword("Size", nullptr));
}

TEST_F(Settings, MovedKeysKeepTheirHandle) {
  SettingsKey first;
  ASSERT_TRUE(first.Create(store_.Path("Moved")));
  SettingsKey second(std::move(first));
  EXPECT_FALSE(first.is_open());
  ASSERT_TRUE(second.is_open());
  EXPECT_TRUE(second.SetDword("Buf", 4));
  SettingsKey third;
  third = std::move(second);
  uint32_t buffers = 0;
  EXPECT_TRUE(third.QueryDword("Buf", &buffers));
  EXPECT_EQ(buffers, 4u);
}

TEST_F(Settings, ConcurrentWritersLoseNothing) {
  ASSERT_TRUE(SettingsKey().Create(store_.Path("Shared")));
  auto writer = [&](int id) {
    SettingsKey key;
    ASSERT_TRUE(key.Open(store_.Path("Shared")));
    for (uint32_t i = 0; i < 20; ++i)
      ASSERT_TRUE(key.SetDword(("Writer" + std::to_string(id) + "_" + std::to_string(i)).c_str(), i));
  };
  std::thread a(writer, 0), b(writer, 1), c(writer, 2);
  a.join();
  b.join();
  c.join();
  SettingsKey key;
  ASSERT_TRUE(key.Open(store_.Path("Shared")));
  for (int id = 0; id < 3; ++id)
    for (uint32_t i = 0; i < 20; ++i) {
      uint32_t value = 99;
      EXPECT_TRUE(key.QueryDword(("Writer" + std::to_string(id) + "_" + std::to_string(i)).c_str(), &value));
      EXPECT_EQ(value, i);
    }
}

#ifndef MORVEX_WIN32
std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(Settings, TheStoreFileIsReadableText) {
  EXPECT_EQ(SettingsStoreFile(), store_.file());
  {
    SettingsKey key;
    ASSERT_TRUE(key.Create(store_.Path("Camera_07")));
    ASSERT_TRUE(key.SetDword("Size", 10));
    ASSERT_TRUE(key.SetString("Label", "a\"b"));
    const uint8_t bytes[2] = {0xAB, 0x01};
    ASSERT_TRUE(key.SetBinary("Raw", bytes, 2));
  }
  const std::string text = ReadText(store_.file());
  EXPECT_NE(text.find("[" + store_.Path("Camera_07") + "]\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Size\"=dword:0000000a\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Label\"=\"a\\\"b\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Raw\"=hex:ab,01\n"), std::string::npos) << text;
}

TEST_F(Settings, AnEditedFileIsReadOnTheNextOpenAndBadLinesAreSkipped) {
  {
    SettingsKey key;
    ASSERT_TRUE(key.Create(store_.Path("Camera_00")));
  }
  {
    std::ofstream out(store_.file(), std::ios::app);
    out << "\"Color\"=dword:00000002\n"
        << "\"Broken\"=dword:12\n"
        << "garbage line\n"
        << "\"Text\"=\"non-ASCII \xC3\xA9\"\n";
  }
  SettingsKey key;
  ASSERT_TRUE(key.Open(store_.Path("Camera_00")));
  uint32_t color = 0;
  EXPECT_TRUE(key.QueryDword("Color", &color));
  EXPECT_EQ(color, 2u);
  EXPECT_EQ(key.TypeOf("Broken"), ValueType::kNone);
  std::string text;
  EXPECT_TRUE(key.QueryString("Text", &text));
  EXPECT_EQ(text, "non-ASCII \xC3\xA9");
}

TEST_F(Settings, AStoreInAMissingDirectoryIsCreated) {
  const std::string dir = test::TempPath("dir");
  const std::string file = dir + "/sub/settings.reg";
  SetSettingsStoreFile(file);
  SettingsKey key;
  EXPECT_TRUE(key.Create("Software\\Quisto\\MorvexTest\\Dir"));
  EXPECT_TRUE(key.SetDword("One", 1));
  EXPECT_FALSE(ReadText(file).empty());
  SetSettingsStoreFile(store_.file());
  std::filesystem::remove_all(dir);
}
#endif

}  // namespace
}  // namespace morvex::platform
