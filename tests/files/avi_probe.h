// Reading AVI files back in tests: the bytes, and an independent reader's
// frame count.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace morvex::test {

std::vector<uint8_t> ReadAll(const std::string& path);
uint32_t U32(const std::vector<uint8_t>& bytes, size_t offset);
std::string FourCc(const std::vector<uint8_t>& bytes, size_t offset);

// What ffprobe reads of the file's video stream, decoding every frame.
struct ProbeResult {
  bool ran = false;  // ffprobe could be run and answered
  int32_t width = 0;
  int32_t height = 0;
  int64_t frames = -1;
  std::string output;  // everything it printed, for failure messages
};
ProbeResult Probe(const std::string& path);

// Checks the structure an AVI of `frames` frames of width × height must have:
// sizes, counts at 48 and 140, index entries; empty when it holds.
std::string CheckAviLayout(const std::vector<uint8_t>& file, int32_t width, int32_t height, uint32_t frames);

}  // namespace morvex::test
