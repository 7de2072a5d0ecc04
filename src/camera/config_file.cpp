#include <vector>

#include "camera/morvex.h"
#include "platform/file.h"

namespace morvex {

int32_t CMorvex::LoadConfigFile(const char* path) {
  if (path == nullptr) return 0;
  platform::File file;
  if (!file.OpenForRead(path)) return 0;  // no error code: the list stays as it was
  const int64_t size = file.Size();
  std::vector<uint8_t> data(size > 0 ? static_cast<size_t>(size) : 0);
  // A short read is not detected: the records come from the buffer as far
  // as the file size says.
  if (!data.empty()) file.Read(data.data(), static_cast<uint32_t>(data.size()));
  file.Close();
  std::vector<ConfigPair> pairs;
  for (size_t at = 0; at + 8 <= data.size(); at += 8) {
    auto word = [&](size_t i) {
      return static_cast<int32_t>(static_cast<uint32_t>(data[i]) | static_cast<uint32_t>(data[i + 1]) << 8 |
                                  static_cast<uint32_t>(data[i + 2]) << 16 |
                                  static_cast<uint32_t>(data[i + 3]) << 24);
    };
    pairs.push_back({word(at), word(at + 4)});
  }
  std::lock_guard<std::mutex> lock(config_lock_);
  config_list_ = std::move(pairs);
  return 1;
}

std::vector<CMorvex::ConfigPair> CMorvex::config_list() const {
  std::lock_guard<std::mutex> lock(config_lock_);
  return config_list_;
}

}  // namespace morvex
