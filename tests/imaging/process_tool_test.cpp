#include "process_tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace morvex::tools {
namespace {

namespace fs = std::filesystem;

class ProcessTool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("morvex-process-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(dir_);
    in_ = (dir_ / "in.raw").string();
    out_ = (dir_ / "out.raw").string();
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), "morvex-process");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return MorvexProcessMain(static_cast<int>(args.size()), argv.data());
  }
  void WriteInput(const std::vector<uint8_t>& bytes) {
    std::ofstream(in_, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::vector<uint8_t> Output() {
    std::ifstream in(out_, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  fs::path dir_;
  std::string in_, out_;
};

TEST_F(ProcessTool, BadArgumentsExitWithTwo) {
  WriteInput(std::vector<uint8_t>(16, 0));
  const std::vector<std::vector<std::string>> bad = {
      {in_, out_},                                                           // nothing given
      {"--width", "4", "--height", "4", "--bits", "8", in_, out_},           // no mode
      {"--width", "4", "--height", "4", "--bits", "8", "--mode", "0", in_},  // no OUT
      {"--width", "4", "--height", "4", "--bits", "8", "--mode", "0", in_, out_, "extra"},
      {"--width", "0", "--height", "4", "--bits", "8", "--mode", "0", in_, out_},
      {"--width", "4x", "--height", "4", "--bits", "8", "--mode", "0", in_, out_},
      {"--width", "4", "--height", "4", "--bits", "12", "--mode", "0", in_, out_},
      {"--width", "4", "--height", "4", "--bits", "8", "--mode", "6", in_, out_},
      {"--width", "4", "--height", "4", "--bits", "8", "--mode", "1", in_, out_},  // mode 1 takes 16 bits
      {"--width", "4", "--height", "4", "--bits", "8", "--mode", "0", "--gamma", "201", in_, out_},
      {"--width", "4", "--height", "4", "--bits", "8", "--mode", "0", "--hue", "-361", in_, out_},
      {"--width", "4", "--height", "4", "--bits", "8", "--mode", "0", "--gain-r", "401", in_, out_},
      {"--width", "4", "--height", "4", "--bits", "8", "--mode", "0", "--grey-gains", "1,2,3", in_, out_},
      {"--width", "4", "--height", "4", "--bits", "8", "--mode", "0", "--grey-offsets", "1,2,3,-256", in_,
       out_},
      {"--width", "4", "--height", "4", "--bits", "8", "--mode", "0", "--window", "641,0", in_, out_},
      {"--width", "4", "--height", "4", "--bits", "8", "--mode", "0", "--format", "gif", in_, out_},
      {"--width", "4", "--height", "4", "--bits", "8", "--mode", "0", "--mask"},
  };
  for (const auto& args : bad) {
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_EQ(Run(args), kExitUsage) << joined;
  }
  EXPECT_FALSE(fs::exists(out_));
}

TEST_F(ProcessTool, WrongInputSizeExitsWithThree) {
  WriteInput(std::vector<uint8_t>(31, 0));
  EXPECT_EQ(Run({"--width", "4", "--height", "4", "--bits", "16", "--mode", "1", in_, out_}), kExitInputSize);
  EXPECT_EQ(Run({"--width", "4", "--height", "8", "--bits", "8", "--mode", "0", in_, out_}), kExitInputSize);
  EXPECT_FALSE(fs::exists(out_));
  EXPECT_EQ(
      Run({"--width", "4", "--height", "4", "--bits", "8", "--mode", "0", (dir_ / "none").string(), out_}),
      kExitIo);
}

TEST_F(ProcessTool, GreyGainsAndOffsetsExactly) {
  // 6 × 2 frame, rows padded from 6 to 8 bytes in the output. Mode 0 cell:
  // G1 R / B G2.
  WriteInput({10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120});
  ASSERT_EQ(Run({"--width", "6", "--height", "2", "--bits", "8", "--mode", "0", "--grey-mode", "1",
                 "--grey-gains", "64,128,255,200", "--grey-offsets", "5,-10,0,-200", in_, out_}),
            kExitOk);
  const std::vector<uint8_t> out = Output();
  ASSERT_EQ(out.size(), 16u);
  auto g1 = [](int v) { return std::clamp(-10 + (128 * v) / 128, 0, 255); };
  auto r = [](int v) { return std::clamp(5 + (64 * v) / 128, 0, 255); };
  auto b = [](int v) { return std::clamp(-200 + (200 * v) / 128, 0, 255); };
  auto g2 = [](int v) { return std::clamp(0 + (255 * v) / 128, 0, 255); };
  const int expected[2][6] = {{g1(10), r(20), g1(30), r(40), g1(50), r(60)},
                              {b(70), g2(80), b(90), g2(100), b(110), g2(120)}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(out[y * 8 + x], expected[y][x]) << x << "," << y;
}

TEST_F(ProcessTool, SixteenBitGammaExactly) {
  std::vector<uint8_t> in;
  const uint16_t samples[4] = {0, 1000, 4095, 65535};
  for (uint16_t s : samples)
    in.push_back(static_cast<uint8_t>(s)), in.push_back(static_cast<uint8_t>(s >> 8));
  WriteInput(in);
  ASSERT_EQ(
      Run({"--width", "2", "--height", "2", "--bits", "16", "--mode", "1", "--gamma", "150", in_, out_}),
      kExitOk);
  const std::vector<uint8_t> out = Output();
  ASSERT_EQ(out.size(), 8u);
  for (int i = 0; i < 4; ++i) {
    const double e = 1.0 / 1.5;
    const int expected =
        samples[i] == 0 ? 0 : std::min(65535, static_cast<int>(std::pow(samples[i] / 65535.0, e) * 65535));
    EXPECT_EQ(out[2 * i] | out[2 * i + 1] << 8, expected) << samples[i];
  }
}

TEST_F(ProcessTool, ColourRunWithGainsAndMirror) {
  // A uniform 8 × 6 mosaic: every output pixel has green v and red / blue
  // (16 v · int(g · 1.28)) >> 11, whatever the mirroring.
  WriteInput(std::vector<uint8_t>(48, 100));
  ASSERT_EQ(Run({"--width", "8", "--height", "6", "--bits", "8", "--mode", "3", "--gain-r", "150", "--gain-b",
                 "50", "--mirror-h", "--mirror-v", "--bayer-mode", "2", in_, out_}),
            kExitOk);
  const std::vector<uint8_t> out = Output();
  ASSERT_EQ(out.size(), 8u * 4 * 6);
  for (int p = 0; p < 48; ++p) {
    EXPECT_EQ(out[4 * p + 0], (1600 * 64) >> 11);
    EXPECT_EQ(out[4 * p + 1], 100);
    EXPECT_EQ(out[4 * p + 2], (1600 * 192) >> 11);
    EXPECT_EQ(out[4 * p + 3], 0);
  }
}

TEST_F(ProcessTool, OutputFormatsCarryTheirSignatures) {
  std::vector<uint8_t> frame(8 * 4 * 2);
  for (size_t i = 0; i < frame.size(); i += 2) frame[i + 1] = 0x0F;  // samples 0x0F00, little-endian
  WriteInput(frame);
  const struct {
    const char* format;
    std::vector<uint8_t> signature;
  } formats[] = {{"raw", {0x00, 0x0F}},
                 {"bmp", {'B', 'M'}},
                 {"jpeg", {0xFF, 0xD8}},
                 {"png", {0x89, 'P', 'N', 'G'}},
                 {"tiff", {'I', 'I', 42, 0}}};
  for (const auto& f : formats) {
    ASSERT_EQ(Run({"--width", "8", "--height", "4", "--bits", "16", "--mode", "1", "--format", f.format, in_,
                   out_}),
              kExitOk)
        << f.format;
    const std::vector<uint8_t> out = Output();
    ASSERT_GE(out.size(), f.signature.size()) << f.format;
    EXPECT_TRUE(std::equal(f.signature.begin(), f.signature.end(), out.begin())) << f.format;
  }
}

TEST_F(ProcessTool, RefusedMaskFileIsAnIoFailure) {
  WriteInput(std::vector<uint8_t>(16, 0));
  std::ofstream(dir_ / "bad.msk", std::ios::binary) << "not a mask file at all, far too short";
  EXPECT_EQ(Run({"--width", "4", "--height", "4", "--bits", "8", "--mode", "0", "--mask",
                 (dir_ / "bad.msk").string(), in_, out_}),
            kExitIo);
}

}  // namespace
}  // namespace morvex::tools
