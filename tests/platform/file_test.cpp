#include "platform/file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "paths.h"

namespace morvex::platform {
namespace {

class Files : public ::testing::Test {
 protected:
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  // Writes `text` as the whole file through File.
  void WriteFile(const std::string& text) {
    File file;
    ASSERT_TRUE(file.CreateForWrite(path_));
    ASSERT_TRUE(file.Write(text.data(), static_cast<uint32_t>(text.size())));
  }
  std::string ReadFile() {
    File file;
    if (!file.OpenForRead(path_)) return "<unreadable>";
    std::string text(static_cast<size_t>(file.Size()), '\0');
    if (!text.empty() && !file.Read(&text[0], static_cast<uint32_t>(text.size()))) return "<short>";
    return text;
  }
  const std::string path_ = test::TempPath("file") + ".bin";
};

TEST_F(Files, CreateForWriteMakesANewFile) {
  EXPECT_FALSE(FileExists(path_));
  File file;
  ASSERT_TRUE(file.CreateForWrite(path_));
  EXPECT_TRUE(file.is_open());
  EXPECT_EQ(file.Size(), 0);
  file.Close();
  EXPECT_FALSE(file.is_open());
  EXPECT_TRUE(FileExists(path_));
}

TEST_F(Files, CreateForWriteTruncatesAnExistingFile) {
  WriteFile("a long first content");
  EXPECT_EQ(ReadFile(), "a long first content");
  WriteFile("short");
  EXPECT_EQ(ReadFile(), "short");
}

TEST_F(Files, ReadWriteSeekTellAndSize) {
  File file;
  ASSERT_TRUE(file.CreateForWrite(path_));
  uint32_t done = 99;
  ASSERT_TRUE(file.Write("0123456789", 10, &done));
  EXPECT_EQ(done, 10u);
  EXPECT_EQ(file.Tell(), 10);
  EXPECT_EQ(file.Size(), 10);
  ASSERT_TRUE(file.Seek(20));
  ASSERT_TRUE(file.Write("X", 1));
  EXPECT_EQ(file.Size(), 21) << "writing past the end extends the file";
  file.Close();

  ASSERT_TRUE(file.OpenForRead(path_));
  ASSERT_TRUE(file.Seek(4));
  char buffer[8] = {};
  ASSERT_TRUE(file.Read(buffer, 3, &done));
  EXPECT_EQ(done, 3u);
  EXPECT_EQ(std::string(buffer, 3), "456");
  EXPECT_EQ(file.Tell(), 7);
  EXPECT_FALSE(file.Write("no", 2)) << "opened for reading only";
  ASSERT_TRUE(file.Seek(18));
  std::memset(buffer, 0, sizeof buffer);
  EXPECT_FALSE(file.Read(buffer, 8, &done)) << "a short read is a failure";
  EXPECT_EQ(done, 3u);
  EXPECT_EQ(buffer[2], 'X');
  EXPECT_FALSE(file.Seek(-1));
}

TEST_F(Files, OpenForUpdatePatchesInPlace) {
  WriteFile("RIFF....AVI ");
  File file;
  ASSERT_TRUE(file.OpenForUpdate(path_));
  ASSERT_TRUE(file.Seek(4));
  const uint32_t size = 0x04030201;
  ASSERT_TRUE(file.Write(&size, 4));
  char check[4] = {};
  ASSERT_TRUE(file.Seek(8));
  ASSERT_TRUE(file.Read(check, 4));
  EXPECT_EQ(std::string(check, 4), "AVI ");
  file.Close();
  EXPECT_EQ(ReadFile(), std::string("RIFF\x01\x02\x03\x04"
                                    "AVI ",
                                    12));
}

TEST_F(Files, MissingFilesAndDirectoriesFail) {
  File file;
  EXPECT_FALSE(file.OpenForRead(path_));
  EXPECT_FALSE(file.OpenForUpdate(path_));
  EXPECT_FALSE(FileExists(path_)) << "opening must not create";
  const std::string in_missing_dir = test::TempPath("missing-dir") + "/image.bmp";
  EXPECT_FALSE(file.CreateForWrite(in_missing_dir));
  const std::string dir = std::filesystem::temp_directory_path().string();
  EXPECT_FALSE(file.OpenForRead(dir));
  EXPECT_FALSE(file.CreateForWrite(dir));
  EXPECT_FALSE(FileExists(dir));
  EXPECT_FALSE(file.CreateForWrite(""));
  EXPECT_FALSE(file.is_open());
}

TEST_F(Files, AnOpenFileIsNotShared) {
  WriteFile("keep me");
  File holder;
  ASSERT_TRUE(holder.OpenForRead(path_));
  File other;
  EXPECT_FALSE(other.OpenForRead(path_));
  EXPECT_FALSE(other.CreateForWrite(path_));
  holder.Close();
  EXPECT_EQ(ReadFile(), "keep me") << "a refused create must not truncate";
}

TEST_F(Files, OperationsOnAClosedFileFail) {
  File file;
  char byte = 0;
  uint32_t done = 5;
  EXPECT_FALSE(file.Read(&byte, 1, &done));
  EXPECT_EQ(done, 0u);
  EXPECT_FALSE(file.Write(&byte, 1, &done));
  EXPECT_EQ(done, 0u);
  EXPECT_FALSE(file.Seek(0));
  EXPECT_EQ(file.Tell(), -1);
  EXPECT_EQ(file.Size(), -1);
}

TEST_F(Files, MovingTransfersTheOpenFile) {
  File first;
  ASSERT_TRUE(first.CreateForWrite(path_));
  File second(std::move(first));
  EXPECT_FALSE(first.is_open());
  EXPECT_TRUE(second.Write("ab", 2));
  File third;
  third = std::move(second);
  EXPECT_TRUE(third.Write("c", 1));
  third.Close();
  EXPECT_EQ(ReadFile(), "abc");
}

TEST_F(Files, DeleteFileAtRemovesOnlyFiles) {
  WriteFile("x");
  EXPECT_TRUE(DeleteFileAt(path_));
  EXPECT_FALSE(FileExists(path_));
  EXPECT_FALSE(DeleteFileAt(path_));
  EXPECT_FALSE(DeleteFileAt(std::filesystem::temp_directory_path().string()));
}

TEST_F(Files, LargeTransfersAreComplete) {
  std::vector<uint8_t> data(3 * 1024 * 1024 + 17);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  File file;
  ASSERT_TRUE(file.CreateForWrite(path_));
  ASSERT_TRUE(file.Write(data.data(), static_cast<uint32_t>(data.size())));
  file.Close();
  std::vector<uint8_t> back(data.size());
  ASSERT_TRUE(file.OpenForRead(path_));
  EXPECT_EQ(file.Size(), static_cast<int64_t>(data.size()));
  ASSERT_TRUE(file.Read(back.data(), static_cast<uint32_t>(back.size())));
  EXPECT_EQ(back, data);
}

}  // namespace
}  // namespace morvex::platform
