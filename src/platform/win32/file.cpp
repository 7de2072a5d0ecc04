#include "platform/file.h"

namespace morvex::platform {
struct File::Impl {};
File::File() = default;
File::~File() = default;
File::File(File&&) noexcept = default;
File& File::operator=(File&&) noexcept = default;
bool File::CreateForWrite(const std::string&) { return false; }
bool File::OpenForRead(const std::string&) { return false; }
bool File::OpenForUpdate(const std::string&) { return false; }
void File::Close() {}
bool File::is_open() const { return false; }
bool File::Read(void*, uint32_t, uint32_t* done) {
  if (done) *done = 0;
  return false;
}
bool File::Write(const void*, uint32_t, uint32_t* done) {
  if (done) *done = 0;
  return false;
}
bool File::Seek(int64_t) { return false; }
int64_t File::Tell() const { return -1; }
int64_t File::Size() const { return -1; }
bool DeleteFileAt(const std::string&) { return false; }
bool FileExists(const std::string&) { return false; }
}  // namespace morvex::platform
