#include "fuzz_support.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/settings_store.h"

namespace morvex::fuzz {
namespace {

constexpr int32_t kBoundaries[] = {0,
                                   1,
                                   -1,
                                   2,
                                   3,
                                   4,
                                   7,
                                   8,
                                   12,
                                   15,
                                   16,
                                   24,
                                   31,
                                   32,
                                   48,
                                   63,
                                   64,
                                   100,
                                   127,
                                   128,
                                   255,
                                   256,
                                   511,
                                   512,
                                   639,
                                   640,
                                   641,
                                   1023,
                                   1024,
                                   4095,
                                   4096,
                                   32767,
                                   -32768,
                                   65535,
                                   65536,
                                   0x7FFFFFFF,
                                   -2147483647 - 1,
                                   0x40000000,
                                   -100,
                                   1000,
                                   10000,
                                   0x3290,
                                   5000};

std::string& Scratch() {
  static std::string dir;
  return dir;
}

void RemoveScratch() {
  std::error_code ignored;
  if (!Scratch().empty()) std::filesystem::remove_all(Scratch(), ignored);
}

}  // namespace

int32_t FuzzInput::Value() {
  const uint8_t pick = Byte();
  constexpr size_t kCount = sizeof(kBoundaries) / sizeof(kBoundaries[0]);
  if (pick < kCount * 4) return kBoundaries[pick % kCount];
  return static_cast<int32_t>(U32());
}

std::vector<uint8_t> FuzzInput::Bytes(size_t count) {
  size_t taken = 0;
  const uint8_t* bytes = Take(count, &taken);
  return std::vector<uint8_t>(bytes, bytes + taken);
}

const uint8_t* FuzzInput::Take(size_t count, size_t* taken) {
  *taken = count < remaining() ? count : remaining();
  const uint8_t* start = data_ + at_;
  at_ += *taken;
  return start;
}

void UsePrivateScratch(const char* target) {
  const std::string name = std::string("fuzz-") + target + "-" + std::to_string(getpid());
  setenv("MORVEX_TEST_NAMESPACE", name.c_str(), 1);
  // The settings store rewrites its file at every change: memory, not disk.
  std::error_code error;
  const std::filesystem::path root =
      std::filesystem::is_directory("/dev/shm", error) ? "/dev/shm" : std::filesystem::temp_directory_path();
  Scratch() = (root / name).string();
  std::filesystem::create_directories(Scratch());
  platform::SetSettingsStoreFile(Scratch() + "/settings.reg");
  std::atexit(RemoveScratch);
}

const std::string& ScratchDir() { return Scratch(); }

}  // namespace morvex::fuzz
