#include "platform/process_census.h"

#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace morvex::platform {

namespace {

int32_t Entries(const char* directory) {
  DIR* dir = opendir(directory);
  if (dir == nullptr) return -1;
  int32_t count = 0;
  while (const dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
  closedir(dir);
  return count;
}

}  // namespace

ProcessCensus TakeProcessCensus() {
  ProcessCensus census;
  if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, status))
      if (std::strncmp(line, "VmRSS:", 6) == 0) census.memory_kb = std::atoll(line + 6);
    std::fclose(status);
  }
  census.threads = Entries("/proc/self/task");
  const int32_t descriptors = Entries("/proc/self/fd");
  census.handles = descriptors > 0 ? descriptors - 1 : -1;  // less the one the listing holds
  return census;
}

uint64_t CurrentSystemThreadId() { return static_cast<uint64_t>(syscall(SYS_gettid)); }

double ThreadCpuSeconds(uint64_t system_thread_id) {
  if (system_thread_id == 0) return 0;
  const std::string path = "/proc/self/task/" + std::to_string(system_thread_id) + "/stat";
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return 0;
  char text[1024] = {};
  const size_t length = std::fread(text, 1, sizeof text - 1, file);
  std::fclose(file);
  // Fields after the command name, which may hold spaces: state is field 3,
  // user time 14 and system time 15, in clock ticks.
  const char* rest = std::strrchr(text, ')');
  if (rest == nullptr || rest + 2 >= text + length) return 0;
  unsigned long long user = 0, system = 0;
  if (std::sscanf(rest + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &user, &system) != 2)
    return 0;
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace morvex::platform
