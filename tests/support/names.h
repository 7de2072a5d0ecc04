// Names for machine-wide test objects (mappings, mutexes, events, files)
// that no other program running at the same time, nor an earlier run whose
// objects outlived it, uses.
#pragma once

#include <string>

namespace morvex::test {

unsigned long ProcessId();

// "MorvexTest-<what>-<process>-<random>-<serial>".
std::string UniqueName(const std::string& what);

}  // namespace morvex::test
