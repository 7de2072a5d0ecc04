// A whole file (or a resource of the SDK's module) read into memory at once,
// for the loaders: the data as start, end and size, freed by Reset or with
// the object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace morvex::files {

class FileData {
 public:
  FileData() = default;
  FileData(const FileData&) = delete;
  FileData& operator=(const FileData&) = delete;

  // Opens the file for reading (no sharing), reads it whole and closes it.
  // False when it cannot be opened; a read that fails or ends early keeps
  // only the bytes that arrived, so nothing past them is ever read as data.
  bool ReadFile(const std::string& path);
  // The module's resource `name` of `type`; borrowed, not copied.
  bool ReadResource(int name, const char* type);
  void Reset();

  const uint8_t* begin() const { return data_; }
  const uint8_t* end() const { return data_ + size_; }
  size_t size() const { return size_; }

 private:
  std::vector<uint8_t> owned_;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace morvex::files
