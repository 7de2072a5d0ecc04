// Shared by the fuzz targets: a reader that turns the input into values, and
// the per-process scratch space (files, settings store, machine-wide names)
// that no other process or test run sees.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace morvex::fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  size_t remaining() const { return size_ - at_; }
  bool empty() const { return at_ >= size_; }
  // Exhausted input reads as zeros.
  uint8_t Byte() { return empty() ? 0 : data_[at_++]; }
  bool Bool() { return (Byte() & 1) != 0; }
  uint16_t U16() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
  uint32_t U32() { return static_cast<uint32_t>(U16()) | static_cast<uint32_t>(U16()) << 16; }
  // Mostly values that sit on boundaries, sometimes any 32-bit number.
  int32_t Value();
  // Up to `count` bytes, fewer when the input ends.
  std::vector<uint8_t> Bytes(size_t count);
  const uint8_t* Take(size_t count, size_t* taken);

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// Gives this process machine-wide names of its own (settings key, device
// table, emulator key) and a private settings file; call once, first thing.
void UsePrivateScratch(const char* target);
// The process's scratch directory; removed when the process exits.
const std::string& ScratchDir();

}  // namespace morvex::fuzz
