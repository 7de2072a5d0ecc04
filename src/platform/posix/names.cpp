#include "platform/posix/names.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace morvex::platform::posix {

std::string EncodeName(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-') {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "_%02X", c);
      out += hex;
    }
  }
  return out;
}

std::string LockFilePath(const std::string& name, const char* kind) {
  return "/tmp/morvex." + std::to_string(getuid()) + "." + kind + "." + EncodeName(name) + ".lock";
}

std::string SharedMemoryName(const std::string& name) {
  return "/morvex." + std::to_string(getuid()) + "." + EncodeName(name);
}

bool StillNamed(int fd, const std::string& path) {
  struct stat by_fd {
  }, by_path{};
  if (fstat(fd, &by_fd) != 0 || stat(path.c_str(), &by_path) != 0) return false;
  return by_fd.st_dev == by_path.st_dev && by_fd.st_ino == by_path.st_ino;
}

int OpenLocked(const std::string& path, int operation) {
  for (;;) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    int result;
    while ((result = flock(fd, operation)) != 0 && errno == EINTR) {
    }
    if (result != 0) {
      const int error = errno;
      close(fd);
      errno = error;
      return -1;
    }
    if (StillNamed(fd, path)) return fd;
    close(fd);  // removed by its last user meanwhile: take the new one
  }
}

void CloseAndRemoveIfUnused(int fd, const std::string& path) {
  if (fd < 0) return;
  // Holding it exclusively, nobody else can be removing it as well.
  if (flock(fd, LOCK_EX | LOCK_NB) == 0 && StillNamed(fd, path)) unlink(path.c_str());
  close(fd);
}

}  // namespace morvex::platform::posix
