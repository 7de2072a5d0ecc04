#include "files/file_data.h"

#include <limits>

#include "platform/file.h"
#include "platform/host_module.h"

namespace morvex::files {

bool FileData::ReadFile(const std::string& path) {
  Reset();
  platform::File file;
  if (!file.OpenForRead(path)) return false;
  const int64_t size = file.Size();
  if (size <= 0) return true;
  if (size > std::numeric_limits<uint32_t>::max()) return false;  // one read, as the format expects
  owned_.resize(static_cast<size_t>(size));
  uint32_t done = 0;
  file.Read(owned_.data(), static_cast<uint32_t>(owned_.size()), &done);
  owned_.resize(done);
  data_ = owned_.data();
  size_ = owned_.size();
  return true;
}

bool FileData::ReadResource(int name, const char* type) {
  Reset();
  const uint8_t* data = nullptr;
  uint32_t size = 0;
  if (!platform::ModuleResource(name, type, &data, &size)) return false;
  data_ = data;
  size_ = size;
  return true;
}

void FileData::Reset() {
  owned_.clear();
  owned_.shrink_to_fit();
  data_ = nullptr;
  size_ = 0;
}

}  // namespace morvex::files
