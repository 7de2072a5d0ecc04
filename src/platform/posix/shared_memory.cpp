// Named shared memory natively: POSIX shm objects, living as long as one
// process has them open, like a pagefile-backed Win32 mapping.
//
// Every open holds a shared flock on the object; opening and closing run
// under a per-name guard file. A closer that can take the flock exclusively
// is the last user and removes the name; an opener that can take it
// exclusively found a leftover of a crashed process and starts afresh.
#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/posix/names.h"

namespace morvex::platform {

struct SharedMemory::Impl {
  int fd = -1;
  std::string shm_name;
  std::string guard_path;
};

namespace {

// Holds the per-name guard file locked for the lifetime of the object and
// removes it on the way out when the mapping is gone.
class GuardLock {
 public:
  GuardLock(const std::string& path, const std::string& shm_name)
      : path_(path), shm_name_(shm_name), fd_(posix::OpenLocked(path, LOCK_EX)) {}
  ~GuardLock() {
    if (fd_ < 0) return;
    const int probe = shm_open(shm_name_.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (probe >= 0)
      close(probe);
    else
      unlink(path_.c_str());  // we hold it exclusively and it is still named
    close(fd_);
  }
  GuardLock(const GuardLock&) = delete;
  GuardLock& operator=(const GuardLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  std::string path_;
  std::string shm_name_;
  int fd_;
};

bool TakeShared(int fd) {
  while (flock(fd, LOCK_SH) != 0)
    if (errno != EINTR) return false;
  return true;
}

}  // namespace

SharedMemory::SharedMemory() = default;
SharedMemory::~SharedMemory() { Close(); }

bool SharedMemory::Open(const char* name, size_t size, Mode mode) {
  Close();
  if (!name || !*name || size == 0) return false;
  auto impl = std::make_unique<Impl>();
  impl->shm_name = posix::SharedMemoryName(name);
  impl->guard_path = posix::LockFilePath(name, "shm");
  GuardLock guard(impl->guard_path, impl->shm_name);
  if (!guard.held()) return false;

  bool created = false;
  int fd = shm_open(impl->shm_name.c_str(), O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      // Nobody holds it: a leftover of a process that died with it open.
      if (mode == Mode::kOpenExisting) {
        close(fd);
        shm_unlink(impl->shm_name.c_str());
        return false;
      }
      if (ftruncate(fd, 0) != 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) {
        close(fd);
        return false;
      }
      created = true;
    }
  } else {
    if (errno != ENOENT || mode == Mode::kOpenExisting) return false;
    fd = shm_open(impl->shm_name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
      close(fd);
      shm_unlink(impl->shm_name.c_str());
      return false;
    }
    created = true;
  }
  struct stat info {};
  // A mapping smaller than asked for would fault on access: refuse it.
  if (!TakeShared(fd) || fstat(fd, &info) != 0 || static_cast<size_t>(info.st_size) < size) {
    close(fd);
    if (created) shm_unlink(impl->shm_name.c_str());
    return false;
  }
  void* view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (view == MAP_FAILED) {
    close(fd);
    if (created) shm_unlink(impl->shm_name.c_str());
    return false;
  }
  impl->fd = fd;
  impl_ = std::move(impl);
  data_ = view;
  size_ = size;
  created_ = created;
  return true;
}

void SharedMemory::Close() {
  if (!impl_) return;
  {
    GuardLock guard(impl_->guard_path, impl_->shm_name);
    if (data_) munmap(data_, size_);
    if (impl_->fd >= 0) {
      // Converting to exclusive succeeds only when no other open remains.
      if (guard.held() && flock(impl_->fd, LOCK_EX | LOCK_NB) == 0) shm_unlink(impl_->shm_name.c_str());
      close(impl_->fd);
    }
  }
  impl_.reset();
  data_ = nullptr;
  size_ = 0;
  created_ = false;
}

}  // namespace morvex::platform
