#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "child_process.h"

extern char** environ;

namespace morvex::testing {
namespace {

class PosixChild : public ChildProcess {
 public:
  explicit PosixChild(pid_t pid) : pid_(pid) {}
  ~PosixChild() override {
    if (pid_ > 0) Wait();
  }
  int Wait() override {
    if (pid_ <= 0) return -1;
    int status = 0;
    const pid_t done = waitpid(pid_, &status, 0);
    pid_ = 0;
    if (done < 0 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }

 private:
  pid_t pid_;
};

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& filter, const std::string& role,
                                                  const std::string& argument) {
  char executable[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", executable, sizeof(executable) - 1);
  if (length <= 0) return nullptr;
  executable[length] = '\0';
  std::string filter_flag = "--gtest_filter=" + filter;
  std::vector<char*> argv = {executable, filter_flag.data(), nullptr};
  std::vector<std::string> variables = {std::string(kChildRoleVariable) + "=" + role,
                                        std::string(kChildArgumentVariable) + "=" + argument};
  std::vector<char*> envp;
  for (char** entry = environ; *entry; ++entry) {
    if (std::strncmp(*entry, "MORVEX_USB_CHILD_", 17) != 0) envp.push_back(*entry);
  }
  for (auto& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, executable, nullptr, nullptr, argv.data(), envp.data()) != 0) return nullptr;
  return std::make_unique<PosixChild>(pid);
}

std::string ChildRole() {
  const char* value = std::getenv(kChildRoleVariable);
  return value ? value : "";
}

std::string ChildArgument() {
  const char* value = std::getenv(kChildArgumentVariable);
  return value ? value : "";
}

}  // namespace morvex::testing
