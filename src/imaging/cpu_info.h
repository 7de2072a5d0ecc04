// Processor description, filled once per process from CPUID.
#pragma once

#include <cstdint>
#include <string>

namespace morvex::imaging {

enum CpuFeature : uint32_t {
  kCpuMmx = 1,
  kCpuSse = 2,
  kCpuSse2 = 4,
  kCpuAmdMmx = 8,
  kCpuSse3 = 16,
  kCpuLeaf1Ecx8 = 32,
  // Further sets the demosaic kernels use; not part of the classic word.
  kCpuSsse3 = 64,
  kCpuAvx2 = 128,
};

struct CpuInfo {
  char vendor[13] = {};
  std::string model_name = "Unknown";
  int32_t family = 0;
  int32_t model = 0;
  int32_t stepping = 0;
  uint32_t reported = 0;  // what CPUID announces
  uint32_t usable = 0;    // what this process may execute
  int32_t checked = 63;
};

// The description of the processor this process runs on.
const CpuInfo& GetCpuInfo();

// Off forces every imaging routine onto its scalar reference (for
// comparisons, and as a safety switch); on by default.
void SetSimdEnabled(bool enabled);
bool SimdEnabled();

}  // namespace morvex::imaging
