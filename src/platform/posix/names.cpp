#include "platform/posix/names.h"

#include <unistd.h>

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

}  // namespace morvex::platform::posix
