// Counts heap allocations through the global operator new: those of the
// whole process and those made on one watched thread. Linking this library
// replaces the operators.
#pragma once

#include <cstdint>

namespace morvex::bench {

uint64_t Allocations();
uint64_t WatchedThreadAllocations();

// The thread whose allocations are counted apart, by its system id
// (platform::CurrentSystemThreadId); 0 watches none.
void WatchThread(uint64_t system_thread_id);

}  // namespace morvex::bench
