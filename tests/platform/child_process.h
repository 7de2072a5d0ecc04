// Runs this test program again as a second process.
#pragma once

#include <string>
#include <vector>

namespace morvex::platform::test {

// Starts this executable with `args`, waits for it and returns its exit
// code; -1 when it could not be started.
int RunSelf(const std::vector<std::string>& args);

}  // namespace morvex::platform::test
