// What this process holds, for soak runs, benchmarks and leak checks.
#pragma once

#include <cstdint>

namespace morvex::platform {

struct ProcessCensus {
  int64_t memory_kb = 0;  // resident set natively, private bytes on Windows
  int32_t threads = 0;
  int32_t handles = -1;  // open descriptors or handles; -1 where the system counts none
};

ProcessCensus TakeProcessCensus();

// The system's id of the calling thread, as ThreadCpuSeconds takes it.
uint64_t CurrentSystemThreadId();

// User plus system time of a thread of this process in seconds; 0 for an
// unknown thread.
double ThreadCpuSeconds(uint64_t system_thread_id);

}  // namespace morvex::platform
