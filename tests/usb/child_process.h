// Runs this test binary once more as a second process with a role, so that
// tests can check what two processes share.
#pragma once

#include <memory>
#include <string>

namespace morvex::testing {

// The environment variables that carry the role and its argument.
constexpr char kChildRoleVariable[] = "MORVEX_USB_CHILD_ROLE";
constexpr char kChildArgumentVariable[] = "MORVEX_USB_CHILD_ARG";

class ChildProcess {
 public:
  // Starts `<this executable> --gtest_filter=<filter>` with the role set.
  static std::unique_ptr<ChildProcess> Start(const std::string& filter, const std::string& role,
                                             const std::string& argument);
  virtual ~ChildProcess() = default;
  // The exit code; -1 when it could not be waited for.
  virtual int Wait() = 0;
};

// The role this process was started with; empty in the first process.
std::string ChildRole();
std::string ChildArgument();

}  // namespace morvex::testing
