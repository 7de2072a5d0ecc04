#include "names.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>

#ifdef MORVEX_WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace morvex::test {

unsigned long ProcessId() {
#ifdef MORVEX_WIN32
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

std::string UniqueName(const std::string& what) {
  // Process identifiers are reused; the random part keeps a later run off
  // the names an earlier one left behind.
  static const uint32_t run = [] {
    std::mt19937 random(std::random_device{}() ^
                        static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    return static_cast<uint32_t>(random());
  }();
  static std::atomic<int> serial{0};
  return "MorvexTest-" + what + "-" + std::to_string(ProcessId()) + "-" + std::to_string(run) + "-" +
         std::to_string(++serial);
}

}  // namespace morvex::test
