#include "platform/shared_memory.h"

namespace morvex::platform {
struct SharedMemory::Impl {};
SharedMemory::SharedMemory() = default;
SharedMemory::~SharedMemory() { Close(); }
bool SharedMemory::Open(const char*, size_t, Mode) { return false; }
void SharedMemory::Close() {}
}  // namespace morvex::platform
