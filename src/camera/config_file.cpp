#include "files/config_file.h"

#include <vector>

#include "camera/morvex.h"

namespace morvex {

int32_t CMorvex::LoadConfigFile(const char* path) {
  if (path == nullptr) return 0;
  std::vector<ConfigPair> pairs;
  if (!files::ReadConfigFile(path, &pairs)) return 0;  // no error code: the list stays as it was
  std::lock_guard<std::mutex> lock(config_lock_);
  config_list_ = std::move(pairs);
  return 1;
}

std::vector<CMorvex::ConfigPair> CMorvex::config_list() const {
  std::lock_guard<std::mutex> lock(config_lock_);
  return config_list_;
}

}  // namespace morvex
