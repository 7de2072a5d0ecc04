// Configuration files: 8-byte records without a header, each two 32-bit
// little-endian values; a remainder of 1 to 7 bytes is ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace morvex::files {

struct ConfigPair {
  int32_t first;
  int32_t second;
};

// The pairs of `size` bytes of file data, in file order.
std::vector<ConfigPair> ParseConfigRecords(const uint8_t* data, size_t size);
// False when the file cannot be opened; `pairs` is then untouched.
bool ReadConfigFile(const std::string& path, std::vector<ConfigPair>* pairs);

}  // namespace morvex::files
