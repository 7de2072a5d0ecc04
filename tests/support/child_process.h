// Runs this test program again as a second process, so that tests can check
// what two processes share or what a fresh process reads.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace morvex::test {

class ChildProcess {
 public:
  // Starts this executable with `args`; a non-empty `role` (and its
  // `argument`) reach the child through ChildRole() and ChildArgument().
  // Null when it could not be started.
  static std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& args,
                                             const std::string& role = "", const std::string& argument = "");
  // Waits for a child that was not waited for.
  virtual ~ChildProcess() = default;
  // The exit code; -1 when it could not be waited for or did not exit.
  virtual int Wait() = 0;
};

// Starts this executable with `args`, waits for it and returns its exit
// code; -1 when it could not be started.
int RunSelf(const std::vector<std::string>& args);

// The role this process was started with; empty in the first process.
std::string ChildRole();
std::string ChildArgument();

}  // namespace morvex::test
