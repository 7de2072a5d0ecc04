// The AVI writer alone: the header figures, the index, the measured rate,
// rows of every width, the split into further files, and a full disk; an
// independent reader (ffprobe) opens every file and counts every frame.
#include "files/avi_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "avi_probe.h"
#include "imaging/dib_image.h"
#include "paths.h"

#ifndef MORVEX_WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace morvex::files {
namespace {

using test::CheckAviLayout;
using test::FourCc;
using test::ReadAll;
using test::U32;

// A 24-bit frame whose every byte tells frame, row, column and channel apart.
void Paint(imaging::CDibImage& image, int32_t n) {
  for (int32_t y = 0; y < image.height(); ++y)
    for (int32_t x = 0; x < image.width() * 3; ++x)
      image.row(y)[x] = static_cast<uint8_t>(x * 7 + y * 13 + n * 31);
}

void ExpectProbed(const std::string& path, int32_t width, int32_t height, int64_t frames) {
  const test::ProbeResult probe = test::Probe(path);
  ASSERT_TRUE(probe.ran) << "ffprobe could not be run: install Debian's ffmpeg package (tools/setup.sh does)";
  EXPECT_EQ(frames, probe.frames) << path << ": " << probe.output;
  EXPECT_EQ(width, probe.width);
  EXPECT_EQ(height, probe.height);
}

class AviWriter : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const std::string& path : created_) std::remove(path.c_str());
  }
  std::string Path() {
    created_.push_back(test::TempPath("avi") + ".avi");
    return created_.back();
  }
  // Files a recording at `first` may have made.
  void Expect(const std::string& first, int32_t parts) {
    for (int32_t i = 0; i <= parts; ++i) created_.push_back(CAviWriter::PartPath(first, i));
  }
  std::vector<std::string> created_;
};

TEST_F(AviWriter, HeaderFiguresIndexAndMeasuredRate) {
  // The rate counts intervals; one that rounds to nothing keeps the open-time 30.
  struct Case {
    std::vector<uint32_t> times;
    uint32_t micro_sec_per_frame, scale;
  } cases[] = {
      {{1000, 1040, 1080}, 40000, 400000},  // 25 frames/s
      {{500, 600}, 100000, 1000000},        // two frames 100 ms apart: 10/s
      {{7}, 33333, 333333},                 // a single frame
      {{0, 200000}, 33333, 333333},         // fewer than one frame per 100 s
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.times.size()) + " frames");
    const std::string path = Path();
    CAviWriter writer;
    writer.SetFormat(640, 512, 16);
    ASSERT_TRUE(writer.Open(path));
    imaging::CDibImage frame;
    ASSERT_TRUE(frame.Create(640, 512, 24));
    for (size_t i = 0; i < c.times.size(); ++i) {
      Paint(frame, static_cast<int32_t>(i));
      ASSERT_TRUE(writer.AddFrame(frame, c.times[i]));
    }
    ASSERT_TRUE(writer.Close());
    const uint32_t n = static_cast<uint32_t>(c.times.size());
    const std::vector<uint8_t> file = ReadAll(path);
    EXPECT_EQ("", CheckAviLayout(file, 640, 512, n));
    ASSERT_GT(file.size(), 232u);
    EXPECT_EQ("RIFF", FourCc(file, 0));
    EXPECT_EQ("AVI ", FourCc(file, 8));
    EXPECT_EQ("hdrl", FourCc(file, 20));
    EXPECT_EQ("avih", FourCc(file, 24));
    EXPECT_EQ(56u, U32(file, 28));
    EXPECT_EQ(0x10010u, U32(file, 44));
    EXPECT_EQ(1u, U32(file, 56));
    EXPECT_EQ(983048u, U32(file, 60));  // S
    EXPECT_EQ("strl", FourCc(file, 96));
    EXPECT_EQ("vids", FourCc(file, 108));
    EXPECT_EQ("DIB ", FourCc(file, 112));
    EXPECT_EQ(10000000u, U32(file, 132));
    EXPECT_EQ(983048u, U32(file, 144));
    EXPECT_EQ("strf", FourCc(file, 164));
    EXPECT_EQ(40u, U32(file, 168));
    EXPECT_EQ(40u, U32(file, 172));
    EXPECT_EQ(640u, U32(file, 176));
    EXPECT_EQ(512u, U32(file, 180));       // positive: bottom-up
    EXPECT_EQ(0x180001u, U32(file, 184));  // one plane, 24 bits
    EXPECT_EQ("00db", FourCc(file, 224));  // frames begin after 224 header bytes
    EXPECT_EQ(983040u, U32(file, 228));    // F
    EXPECT_EQ(c.micro_sec_per_frame, U32(file, 32));
    EXPECT_EQ(c.scale, U32(file, 128));
    // Frame i's bytes as painted.
    imaging::CDibImage expected;
    ASSERT_TRUE(expected.Create(640, 512, 24));
    Paint(expected, static_cast<int32_t>(n - 1));
    EXPECT_EQ(0, std::memcmp(file.data() + 224 + (n - 1) * 983048u + 8, expected.pixels(), 983040u));
    ExpectProbed(path, 640, 512, n);
  }
}

TEST_F(AviWriter, RowsOfEveryWidthKeepThePicture) {
  for (int32_t width : {1, 2, 3, 4, 5, 6, 7, 641}) {
    SCOPED_TRACE("width " + std::to_string(width));
    const int32_t height = 5;
    const std::string path = Path();
    CAviWriter writer;
    writer.SetFormat(width, height, 24);
    ASSERT_TRUE(writer.Open(path));
    imaging::CDibImage frame;
    ASSERT_TRUE(frame.Create(width, height, 24));
    for (int32_t i = 0; i < 2; ++i) {
      Paint(frame, i);
      ASSERT_TRUE(writer.AddFrame(frame, static_cast<uint32_t>(40 * i)));
    }
    ASSERT_TRUE(writer.Close());
    const std::vector<uint8_t> file = ReadAll(path);
    ASSERT_EQ("", CheckAviLayout(file, width, height, 2));
    const size_t frame_bytes = static_cast<size_t>(width) * height * 3;
    for (int32_t i = 0; i < 2; ++i) {
      Paint(frame, i);
      const uint8_t* data = file.data() + 224 + i * (frame_bytes + 8) + 8;
      for (int32_t y = 0; y < height; ++y)
        ASSERT_EQ(0, std::memcmp(data + y * width * 3, frame.row(y), static_cast<size_t>(width) * 3))
            << "frame " << i << " row " << y;
    }
    ExpectProbed(path, width, height, 2);
  }
}

TEST_F(AviWriter, LongRecordingsGoOnInCompleteFiles) {
  const int32_t width = 64, height = 8;
  const uint32_t chunk = width * height * 3 + 8;
  const std::string first = Path();
  Expect(first, 3);
  CAviWriter writer;
  writer.SetFormat(width, height, 24);
  writer.set_split_limit(224 + 3 * chunk + 8 + 3 * 16);  // exactly three frames a file
  ASSERT_TRUE(writer.Open(first));
  imaging::CDibImage frame;
  ASSERT_TRUE(frame.Create(width, height, 24));
  for (int32_t i = 0; i < 7; ++i) {
    Paint(frame, i);
    ASSERT_TRUE(writer.AddFrame(frame, static_cast<uint32_t>(10 * i)));
  }
  ASSERT_TRUE(writer.Close());
  EXPECT_EQ(3, writer.file_count());
  EXPECT_EQ(7u, writer.total_frames());
  const uint32_t frames[] = {3, 3, 1};
  for (int32_t part = 0; part < 3; ++part) {
    const std::string path = CAviWriter::PartPath(first, part);
    SCOPED_TRACE(path);
    const std::vector<uint8_t> file = ReadAll(path);
    EXPECT_EQ("", CheckAviLayout(file, width, height, frames[part]));
    if (frames[part] > 1) {
      EXPECT_EQ(10000u, U32(file, 32));  // 100 frames/s within each file
    }
    Paint(frame, 3 * part);  // each file starts with the next frame
    ASSERT_GT(file.size(), 232u + width * height * 3);
    EXPECT_EQ(0, std::memcmp(file.data() + 232, frame.pixels(), static_cast<size_t>(width) * height * 3));
    ExpectProbed(path, width, height, frames[part]);
  }
  EXPECT_EQ(first.substr(0, first.size() - 4) + "_0002.avi", CAviWriter::PartPath(first, 2));
  EXPECT_FALSE(std::fopen(CAviWriter::PartPath(first, 3).c_str(), "rb"));
}

TEST_F(AviWriter, RefusesWhatItCannotWrite) {
  CAviWriter writer;
  writer.SetFormat(0, 512, 24);
  EXPECT_FALSE(writer.Open(Path()));
  writer.SetFormat(16, 16, 24);
  EXPECT_FALSE(writer.Open(""));
  const std::string path = Path();
  ASSERT_TRUE(writer.Open(path));
  imaging::CDibImage wrong;
  ASSERT_TRUE(wrong.Create(16, 15, 24));
  EXPECT_FALSE(writer.AddFrame(wrong, 0));
  ASSERT_TRUE(wrong.Create(16, 16, 32));
  EXPECT_FALSE(writer.AddFrame(wrong, 0));
  EXPECT_TRUE(writer.is_open());  // a refused frame loses nothing
  ASSERT_TRUE(writer.Close());
  EXPECT_EQ("", CheckAviLayout(ReadAll(path), 16, 16, 0));
}

#ifndef MORVEX_WIN32
// A disk that fills up: the file size limit of the process stands in for it.
TEST_F(AviWriter, AFullDiskLeavesAFinalisedFile) {
  const int32_t width = 64, height = 8;
  const uint32_t chunk = width * height * 3 + 8;
  struct Case {
    uint64_t room;  // bytes the file may take
    uint32_t kept;  // frames in the finalised file
  } cases[] = {
      {224 + 2 * chunk + chunk / 2, 2},  // the third frame breaks off halfway
      {224 + 2 * chunk, 1},              // no room for the index: the last frame gives way
  };
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
  for (const Case& c : cases) {
    SCOPED_TRACE("room " + std::to_string(c.room));
    const std::string path = Path();
    CAviWriter writer;
    writer.SetFormat(width, height, 24);
    imaging::CDibImage frame;
    ASSERT_TRUE(frame.Create(width, height, 24));
    rlimit limited = saved;
    limited.rlim_cur = c.room;
    ASSERT_TRUE(writer.Open(path));
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limited));
    bool failed = false;
    for (int32_t i = 0; i < 3 && !failed; ++i) {
      Paint(frame, i);
      failed = !writer.AddFrame(frame, static_cast<uint32_t>(10 * i));
    }
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &saved));
    EXPECT_TRUE(failed);
    EXPECT_FALSE(writer.is_open());
    EXPECT_EQ("", CheckAviLayout(ReadAll(path), width, height, c.kept));
    ExpectProbed(path, width, height, c.kept);
  }
  std::signal(SIGXFSZ, SIG_DFL);
}
#endif

}  // namespace
}  // namespace morvex::files
