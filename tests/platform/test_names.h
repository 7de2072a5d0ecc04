// Names for machine-wide test objects that cannot collide between runs.
#pragma once

#include <atomic>
#include <string>

#ifdef MORVEX_WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace morvex::platform::test {

inline unsigned long ProcessId() {
#ifdef MORVEX_WIN32
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

inline std::string UniqueName(const std::string& what) {
  static std::atomic<int> serial{0};
  return "MorvexTest-" + what + "-" + std::to_string(ProcessId()) + "-" + std::to_string(++serial);
}

}  // namespace morvex::platform::test
