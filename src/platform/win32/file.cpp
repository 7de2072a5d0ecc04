// Files on Windows: CreateFileA with no sharing, ReadFile and WriteFile.
#include "platform/file.h"

#include <windows.h>

namespace morvex::platform {

struct File::Impl {
  HANDLE handle = INVALID_HANDLE_VALUE;
};

namespace {

HANDLE OpenHandle(const std::string& path, DWORD access, DWORD disposition) {
  if (path.empty()) return INVALID_HANDLE_VALUE;
  return CreateFileA(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

File::File() : impl_(std::make_unique<Impl>()) {}
File::~File() { Close(); }
File::File(File&& other) noexcept : impl_(std::make_unique<Impl>()) { std::swap(impl_, other.impl_); }
File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    std::swap(impl_, other.impl_);
  }
  return *this;
}

bool File::CreateForWrite(const std::string& path) {
  Close();
  impl_->handle = OpenHandle(path, GENERIC_WRITE, TRUNCATE_EXISTING);
  if (impl_->handle == INVALID_HANDLE_VALUE) impl_->handle = OpenHandle(path, GENERIC_WRITE, CREATE_NEW);
  return is_open();
}

bool File::OpenForRead(const std::string& path) {
  Close();
  impl_->handle = OpenHandle(path, GENERIC_READ, OPEN_EXISTING);
  return is_open();
}

bool File::OpenForUpdate(const std::string& path) {
  Close();
  impl_->handle = OpenHandle(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
  return is_open();
}

void File::Close() {
  if (is_open()) {
    CloseHandle(impl_->handle);
    impl_->handle = INVALID_HANDLE_VALUE;
  }
}

bool File::is_open() const { return impl_ && impl_->handle != INVALID_HANDLE_VALUE; }

bool File::Read(void* data, uint32_t size, uint32_t* done) {
  DWORD moved = 0;
  const bool ok = is_open() && (data || size == 0) && ReadFile(impl_->handle, data, size, &moved, nullptr) &&
                  moved == size;
  if (done) *done = moved;
  return ok;
}

bool File::Write(const void* data, uint32_t size, uint32_t* done) {
  DWORD moved = 0;
  const bool ok = is_open() && (data || size == 0) && WriteFile(impl_->handle, data, size, &moved, nullptr) &&
                  moved == size;
  if (done) *done = moved;
  return ok;
}

bool File::Seek(int64_t offset) {
  if (!is_open() || offset < 0) return false;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  return SetFilePointerEx(impl_->handle, distance, nullptr, FILE_BEGIN) != FALSE;
}

bool File::Truncate() { return is_open() && SetEndOfFile(impl_->handle) != FALSE; }

int64_t File::Tell() const {
  if (!is_open()) return -1;
  LARGE_INTEGER zero, position;
  zero.QuadPart = 0;
  if (!SetFilePointerEx(impl_->handle, zero, &position, FILE_CURRENT)) return -1;
  return position.QuadPart;
}

int64_t File::Size() const {
  LARGE_INTEGER size;
  if (!is_open() || !GetFileSizeEx(impl_->handle, &size)) return -1;
  return size.QuadPart;
}

bool DeleteFileAt(const std::string& path) { return !path.empty() && DeleteFileA(path.c_str()) != FALSE; }

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace morvex::platform
