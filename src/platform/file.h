// Files with the CreateFileA semantics the library relies on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace morvex::platform {

class File {
 public:
  File();
  ~File();
  File(File&&) noexcept;
  File& operator=(File&&) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // For writing: try TRUNCATE_EXISTING first, then CREATE_NEW.
  bool CreateForWrite(const std::string& path);
  // OPEN_EXISTING for reading.
  bool OpenForRead(const std::string& path);
  // OPEN_EXISTING for reading and writing (AVI header patching).
  bool OpenForUpdate(const std::string& path);
  void Close();
  bool is_open() const;

  // Full transfers only: false on an error or a short read/write; `done`
  // receives what was moved.
  bool Read(void* data, uint32_t size, uint32_t* done = nullptr);
  bool Write(const void* data, uint32_t size, uint32_t* done = nullptr);
  bool Seek(int64_t offset);  // from the start
  // Ends the file at the current position (SetEndOfFile).
  bool Truncate();
  int64_t Tell() const;
  int64_t Size() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

bool DeleteFileAt(const std::string& path);
bool FileExists(const std::string& path);

}  // namespace morvex::platform
