// Files natively with the CreateFileA behaviour the library relies on: no
// sharing between File objects (an exclusive flock), directories refused,
// full transfers only.
#include "platform/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace morvex::platform {

struct File::Impl {
  int fd = -1;
};

namespace {

// open(2) plus the share-mode 0 and regular-file checks; -1 on failure.
int OpenExclusive(const std::string& path, int flags) {
  if (path.empty()) return -1;
  int fd;
  do {
    fd = open(path.c_str(), flags | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  struct stat info {};
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return -1;
  }
  return fd;
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
  // TRUNCATE_EXISTING first, CREATE_NEW when there is nothing to truncate.
  // The truncation waits until the share check passed, so a file someone
  // else holds open is left intact.
  int fd = OpenExclusive(path, O_WRONLY);
  if (fd >= 0) {
    if (ftruncate(fd, 0) != 0) {
      close(fd);
      return false;
    }
  } else {
    // Fails on a file that exists but could not be opened, as CREATE_NEW does.
    fd = OpenExclusive(path, O_WRONLY | O_CREAT | O_EXCL);
  }
  impl_->fd = fd;
  return fd >= 0;
}

bool File::OpenForRead(const std::string& path) {
  Close();
  impl_->fd = OpenExclusive(path, O_RDONLY);
  return impl_->fd >= 0;
}

bool File::OpenForUpdate(const std::string& path) {
  Close();
  impl_->fd = OpenExclusive(path, O_RDWR);
  return impl_->fd >= 0;
}

void File::Close() {
  if (impl_ && impl_->fd >= 0) {
    close(impl_->fd);
    impl_->fd = -1;
  }
}

bool File::is_open() const { return impl_ && impl_->fd >= 0; }

bool File::Read(void* data, uint32_t size, uint32_t* done) {
  uint32_t moved = 0;
  bool ok = is_open() && (data || size == 0);
  while (ok && moved < size) {
    const ssize_t n = read(impl_->fd, static_cast<char*>(data) + moved, size - moved);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    moved += static_cast<uint32_t>(n);
  }
  if (done) *done = moved;
  return ok;
}

bool File::Write(const void* data, uint32_t size, uint32_t* done) {
  uint32_t moved = 0;
  bool ok = is_open() && (data || size == 0);
  while (ok && moved < size) {
    const ssize_t n = write(impl_->fd, static_cast<const char*>(data) + moved, size - moved);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    moved += static_cast<uint32_t>(n);
  }
  if (done) *done = moved;
  return ok;
}

bool File::Seek(int64_t offset) {
  if (!is_open() || offset < 0) return false;
  return lseek(impl_->fd, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

bool File::Truncate() {
  if (!is_open()) return false;
  const off_t position = lseek(impl_->fd, 0, SEEK_CUR);
  return position >= 0 && ftruncate(impl_->fd, position) == 0;
}

int64_t File::Tell() const {
  if (!is_open()) return -1;
  return static_cast<int64_t>(lseek(impl_->fd, 0, SEEK_CUR));
}

int64_t File::Size() const {
  struct stat info {};
  if (!is_open() || fstat(impl_->fd, &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

bool DeleteFileAt(const std::string& path) {
  struct stat info {};
  if (path.empty() || lstat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
  return unlink(path.c_str()) == 0;
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

}  // namespace morvex::platform
