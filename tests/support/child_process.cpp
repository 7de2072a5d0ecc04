#include "child_process.h"

#include <cstdlib>
#include <cstring>

#ifdef MORVEX_WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
extern char** environ;
#endif

namespace morvex::test {
namespace {

constexpr char kRoleVariable[] = "MORVEX_TEST_CHILD_ROLE";
constexpr char kArgumentVariable[] = "MORVEX_TEST_CHILD_ARG";

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

#ifdef MORVEX_WIN32
class Win32Child : public ChildProcess {
 public:
  explicit Win32Child(HANDLE process) : process_(process) {}
  ~Win32Child() override {
    if (process_ != nullptr) Wait();
  }
  int Wait() override {
    if (process_ == nullptr) return -1;
    DWORD code = static_cast<DWORD>(-1);
    const bool ended = WaitForSingleObject(process_, INFINITE) == WAIT_OBJECT_0;
    if (!ended || !GetExitCodeProcess(process_, &code)) code = static_cast<DWORD>(-1);
    CloseHandle(process_);
    process_ = nullptr;
    return static_cast<int>(code);
  }

 private:
  HANDLE process_;
};

void SetVariable(const char* name, const std::string& value) {
  _putenv_s(name, value.c_str());
  SetEnvironmentVariableA(name, value.empty() ? nullptr : value.c_str());
}
#else
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
#endif

}  // namespace

#ifdef MORVEX_WIN32
std::unique_ptr<ChildProcess> ChildProcess::Start(const std::vector<std::string>& args,
                                                  const std::string& role, const std::string& argument) {
  char executable[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameA(nullptr, executable, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::string command_line = "\"" + std::string(executable) + "\"";
  for (const std::string& arg : args) command_line += " \"" + arg + "\"";
  // The child inherits the environment as it is at creation.
  const std::string own_role = ChildRole(), own_argument = ChildArgument();
  SetVariable(kRoleVariable, role);
  SetVariable(kArgumentVariable, role.empty() ? "" : argument);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  const BOOL created = CreateProcessA(executable, &command_line[0], nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &startup, &info);
  SetVariable(kRoleVariable, own_role);
  SetVariable(kArgumentVariable, own_argument);
  if (!created) return nullptr;
  CloseHandle(info.hThread);
  return std::make_unique<Win32Child>(info.hProcess);
}
#else
std::unique_ptr<ChildProcess> ChildProcess::Start(const std::vector<std::string>& args,
                                                  const std::string& role, const std::string& argument) {
  char executable[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", executable, sizeof executable - 1);
  if (length <= 0) return nullptr;
  executable[length] = '\0';
  std::vector<std::string> arguments = args;
  std::vector<char*> argv{executable};
  for (std::string& arg : arguments) argv.push_back(arg.data());
  argv.push_back(nullptr);
  // The role is this child's alone: a role of our own is not passed on.
  std::vector<std::string> variables;
  if (!role.empty()) {
    variables.push_back(std::string(kRoleVariable) + "=" + role);
    variables.push_back(std::string(kArgumentVariable) + "=" + argument);
  }
  std::vector<char*> envp;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, "MORVEX_TEST_CHILD_", 18) != 0) envp.push_back(*entry);
  }
  for (std::string& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, executable, nullptr, nullptr, argv.data(), envp.data()) != 0) return nullptr;
  return std::make_unique<PosixChild>(pid);
}
#endif

int RunSelf(const std::vector<std::string>& args) {
  std::unique_ptr<ChildProcess> child = ChildProcess::Start(args);
  return child != nullptr ? child->Wait() : -1;
}

std::string ChildRole() { return Variable(kRoleVariable); }
std::string ChildArgument() { return Variable(kArgumentVariable); }

}  // namespace morvex::test
