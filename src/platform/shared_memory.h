// Named shared memory (a pagefile-backed file mapping on Windows; POSIX shm
// natively), shared by every process that opens the same name.
#pragma once

#include <cstddef>
#include <memory>

namespace morvex::platform {

class SharedMemory {
 public:
  enum class Mode {
    kOpenExisting,  // fail when no such mapping exists
    kCreate,        // open, or create zero-filled
  };
  SharedMemory();
  ~SharedMemory();
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;
  // Opens or creates the mapping and maps `size` bytes of it; fails when an
  // existing mapping is smaller than that.
  bool Open(const char* name, size_t size, Mode mode);
  void Close();
  bool valid() const { return data_ != nullptr; }
  // True when Open created the mapping rather than finding it.
  bool created() const { return created_; }
  void* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  void* data_ = nullptr;
  size_t size_ = 0;
  bool created_ = false;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace morvex::platform
