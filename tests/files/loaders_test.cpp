// The whole-file reader and the configuration records it feeds.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "files/config_file.h"
#include "files/file_data.h"
#include "paths.h"

namespace morvex::files {
namespace {

class Loaders : public ::testing::Test {
 protected:
  void TearDown() override { std::remove(path_.c_str()); }
  void Write(const std::vector<uint8_t>& bytes) {
    std::ofstream file(path_, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  const std::string path_ = test::TempPath("loader.bin");
};

TEST_F(Loaders, WholeFileIsReadAndResetFreesIt) {
  FileData data;
  EXPECT_FALSE(data.ReadFile(path_)) << "missing file";
  Write({});
  ASSERT_TRUE(data.ReadFile(path_));
  EXPECT_EQ(data.size(), 0u);
  Write({1, 2, 3, 4, 5});
  ASSERT_TRUE(data.ReadFile(path_));
  ASSERT_EQ(data.size(), 5u);
  EXPECT_EQ(data.end() - data.begin(), 5);
  EXPECT_EQ(data.begin()[4], 5);
  data.Reset();
  EXPECT_EQ(data.size(), 0u);
  EXPECT_EQ(data.begin(), nullptr);
#ifndef MORVEX_WIN32
  EXPECT_FALSE(data.ReadResource(1, "RCDATA")) << "native modules carry no resources";
#endif
}

TEST_F(Loaders, ConfigurationRecordsAreLittleEndianPairsAndRemaindersAreIgnored) {
  std::vector<ConfigPair> pairs{{7, 7}};
  EXPECT_FALSE(ReadConfigFile(path_, &pairs));
  ASSERT_EQ(pairs.size(), 1u) << "a missing file leaves the list";
  const struct {
    size_t bytes;
    size_t records;
  } sizes[] = {{0, 0}, {7, 0}, {8, 1}, {15, 1}, {20, 2}, {24, 3}};
  for (const auto& size : sizes) {
    std::vector<uint8_t> bytes(size.bytes);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(0xF0 + i);
    Write(bytes);
    ASSERT_TRUE(ReadConfigFile(path_, &pairs)) << size.bytes;
    ASSERT_EQ(pairs.size(), size.records) << size.bytes << " bytes";
    if (size.records > 0) {
      EXPECT_EQ(static_cast<uint32_t>(pairs[0].first), 0xF3F2F1F0u);
      EXPECT_EQ(static_cast<uint32_t>(pairs[0].second), 0xF7F6F5F4u);
    }
  }
}

}  // namespace
}  // namespace morvex::files
