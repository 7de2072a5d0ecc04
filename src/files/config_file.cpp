#include "files/config_file.h"

#include "files/file_data.h"

namespace morvex::files {

namespace {

int32_t LittleEndian32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

std::vector<ConfigPair> ParseConfigRecords(const uint8_t* data, size_t size) {
  std::vector<ConfigPair> pairs;
  pairs.reserve(size / 8);
  for (size_t at = 0; at + 8 <= size; at += 8)
    pairs.push_back({LittleEndian32(data + at), LittleEndian32(data + at + 4)});
  return pairs;
}

bool ReadConfigFile(const std::string& path, std::vector<ConfigPair>* pairs) {
  FileData file;
  if (!file.ReadFile(path)) return false;
  *pairs = ParseConfigRecords(file.begin(), file.size());
  return true;
}

}  // namespace morvex::files
