#include <windows.h>

#include <string>

#include "child_process.h"

namespace morvex::testing {
namespace {

class Win32Child : public ChildProcess {
 public:
  explicit Win32Child(HANDLE process) : process_(process) {}
  ~Win32Child() override {
    if (process_) Wait();
  }
  int Wait() override {
    if (!process_) return -1;
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

std::string Variable(const char* name) {
  char value[1024];
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
  if (length == 0 || length >= sizeof(value)) return std::string();
  return std::string(value, length);
}

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& filter, const std::string& role,
                                                  const std::string& argument) {
  char executable[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameA(nullptr, executable, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::string command_line = "\"" + std::string(executable) + "\" --gtest_filter=" + filter;
  // The child inherits the environment as it is at creation.
  SetEnvironmentVariableA(kChildRoleVariable, role.c_str());
  SetEnvironmentVariableA(kChildArgumentVariable, argument.c_str());
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof(startup));
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info;
  ZeroMemory(&info, sizeof(info));
  const BOOL created = CreateProcessA(executable, &command_line[0], nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &startup, &info);
  SetEnvironmentVariableA(kChildRoleVariable, nullptr);
  SetEnvironmentVariableA(kChildArgumentVariable, nullptr);
  if (!created) return nullptr;
  CloseHandle(info.hThread);
  return std::make_unique<Win32Child>(info.hProcess);
}

std::string ChildRole() { return Variable(kChildRoleVariable); }
std::string ChildArgument() { return Variable(kChildArgumentVariable); }

}  // namespace morvex::testing
