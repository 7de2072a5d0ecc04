// The configuration-file loader: any bytes as the file. Every whole 8-byte
// record becomes one pair in file order, a partial record is ignored.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "camera/morvex.h"
#include "device/morvex_z3u2_base.h"
#include "fuzz_support.h"

namespace {

using morvex::CMorvex;

CMorvex& Instance() {
  static CMorvex* camera = [] {
    CMorvex::Environment environment;
    environment.make_device = []() -> std::unique_ptr<morvex::CMorvexZ3U2Base> { return nullptr; };
    environment.settings_key = morvex::settings::BaseKey();
    return new CMorvex(morvex::platform::SystemClock(), environment);
  }();
  return *camera;
}

int32_t Word(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  morvex::fuzz::UsePrivateScratch("config_file");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = morvex::fuzz::ScratchDir() + "/config.bin";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);

  CMorvex& camera = Instance();
  if (camera.LoadConfigFile(path.c_str()) != 1) std::abort();
  const auto pairs = camera.config_list();
  if (pairs.size() != size / 8) std::abort();
  for (size_t i = 0; i < pairs.size(); ++i)
    if (pairs[i].first != Word(data + 8 * i) || pairs[i].second != Word(data + 8 * i + 4)) std::abort();
  std::remove(path.c_str());
  return 0;
}
