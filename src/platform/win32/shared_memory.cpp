// Named shared memory on Windows: a file mapping on the paging file.
#include "platform/shared_memory.h"

#include <windows.h>

namespace morvex::platform {

struct SharedMemory::Impl {
  HANDLE mapping = nullptr;
};

SharedMemory::SharedMemory() = default;
SharedMemory::~SharedMemory() { Close(); }

bool SharedMemory::Open(const char* name, size_t size, Mode mode) {
  Close();
  if (!name || !*name || size == 0) return false;
  bool created = false;
  HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name);
  if (!mapping) {
    if (mode == Mode::kOpenExisting) return false;
    mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size), name);
    if (!mapping) return false;
    // Another process may have created it between the two calls.
    created = GetLastError() != ERROR_ALREADY_EXISTS;
  }
  void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, size);
  if (!view) {
    CloseHandle(mapping);
    return false;
  }
  impl_ = std::make_unique<Impl>();
  impl_->mapping = mapping;
  data_ = view;
  size_ = size;
  created_ = created;
  return true;
}

void SharedMemory::Close() {
  if (data_) UnmapViewOfFile(data_);
  if (impl_ && impl_->mapping) CloseHandle(impl_->mapping);
  impl_.reset();
  data_ = nullptr;
  size_ = 0;
  created_ = false;
}

}  // namespace morvex::platform
