#include "platform/process_census.h"

#include <windows.h>
// After windows.h.
#include <psapi.h>
#include <tlhelp32.h>

namespace morvex::platform {

ProcessCensus TakeProcessCensus() {
  ProcessCensus census;
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                           sizeof memory)) {
    // Wine leaves the private bytes at 0; its commit charge is the same figure.
    const SIZE_T bytes = memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
    census.memory_kb = static_cast<int64_t>(bytes / 1024);
  }
  DWORD handles = 0;
  // Wine answers 0: no count.
  if (GetProcessHandleCount(GetCurrentProcess(), &handles) && handles != 0)
    census.handles = static_cast<int32_t>(handles);
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot != INVALID_HANDLE_VALUE) {
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
      census.threads += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
  }
  return census;
}

uint64_t CurrentSystemThreadId() { return GetCurrentThreadId(); }

double ThreadCpuSeconds(uint64_t system_thread_id) {
  HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(system_thread_id));
  if (thread == nullptr) return 0;
  FILETIME created, exited, kernel, user;
  double seconds = 0;
  if (GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
    const auto ticks = [](const FILETIME& t) {
      return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    seconds = static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;  // 100 ns units
  }
  CloseHandle(thread);
  return seconds;
}

}  // namespace morvex::platform
