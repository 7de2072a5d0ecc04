#include "imaging/cpu_info.h"

#include <atomic>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define MORVEX_X86 1
#endif

namespace morvex::imaging {
namespace {

#ifdef MORVEX_X86
bool Cpuid(uint32_t leaf, uint32_t sub, uint32_t regs[4]) {
  return __get_cpuid_count(leaf, sub, &regs[0], &regs[1], &regs[2], &regs[3]) != 0;
}

// AVX state must be enabled by the OS (OSXSAVE and XCR0 bits 1 and 2).
bool OsSavesAvxState(uint32_t leaf1_ecx) {
  if ((leaf1_ecx & (1u << 27)) == 0) return false;
  uint32_t lo = 0, hi = 0;
  __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
  return (lo & 6u) == 6u;
}
#endif

const char* ModelName(const char* vendor, int family, int model) {
  if (std::strcmp(vendor, "AuthenticAMD") == 0) {
    if (family == 4) return "AMD Am486";
    if (family == 5) {
      if (model <= 3) return "AMD K5";
      if (model <= 7) return "AMD K6";
      if (model == 8) return "AMD K6-2";
      return "AMD K6-3";
    }
    if (family >= 6) return "AMD ATHLON";
  } else if (std::strcmp(vendor, "GenuineIntel") == 0) {
    if (family == 4) {
      static const char* const k486[] = {"INTEL 486DX",  "INTEL 486DX",   "INTEL 486SX",
                                         "INTEL 486DX2", "INTEL 486SL",   "INTEL 486SX2",
                                         "Unknown",      "INTEL 486DX2E", "INTEL 486DX4"};
      return model >= 0 && model <= 8 ? k486[model] : "Unknown";
    }
    if (family == 5) return model == 4 || model == 8 ? "INTEL Pentium-MMX" : "INTEL Pentium";
    if (family == 6) {
      if (model <= 1) return "INTEL Pentium-Pro";
      if (model <= 5) return "INTEL Pentium-II";
      if (model == 6) return "INTEL Celeron";
      return "INTEL Pentium-III";
    }
    if (family >= 15) return "INTEL Pentium-4";
  } else if (std::strcmp(vendor, "CyrixInstead") == 0) {
    return "Cyrix";
  } else if (std::strcmp(vendor, "CentaurHauls") == 0) {
    return "Centaur";
  }
  return "Unknown";
}

CpuInfo Detect() {
  CpuInfo info;
#ifdef MORVEX_X86
  uint32_t r[4] = {};
  if (!Cpuid(0, 0, r)) return info;
  const uint32_t max_leaf = r[0];
  std::memcpy(info.vendor + 0, &r[1], 4);
  std::memcpy(info.vendor + 4, &r[3], 4);
  std::memcpy(info.vendor + 8, &r[2], 4);
  info.vendor[12] = '\0';
  uint32_t ecx1 = 0, edx1 = 0;
  if (max_leaf >= 1 && Cpuid(1, 0, r)) {
    ecx1 = r[2];
    edx1 = r[3];
    info.stepping = static_cast<int32_t>(r[0] & 0xF);
    info.model = static_cast<int32_t>((r[0] >> 4) & 0xF);
    info.family = static_cast<int32_t>((r[0] >> 8) & 0xF);
  }
  uint32_t ext_edx = 0;
  if (Cpuid(0x80000000u, 0, r) && r[0] >= 0x80000001u && Cpuid(0x80000001u, 0, r)) ext_edx = r[3];
  if (edx1 & (1u << 23)) info.reported |= kCpuMmx;
  if (ext_edx & (1u << 31)) info.reported |= kCpuAmdMmx;
  if (edx1 & (1u << 25)) info.reported |= kCpuSse;
  if (edx1 & (1u << 26)) info.reported |= kCpuSse2;
  if (ecx1 & (1u << 0)) info.reported |= kCpuSse3;
  if (ecx1 & (1u << 8)) info.reported |= kCpuLeaf1Ecx8;
  if (ecx1 & (1u << 9)) info.reported |= kCpuSsse3;
  if (max_leaf >= 7 && Cpuid(7, 0, r) && (r[1] & (1u << 5)) && OsSavesAvxState(ecx1)) {
    info.reported |= kCpuAvx2;
  }
  // Every operating system this library runs on saves the SSE state, so
  // what the processor announces can be executed.
  info.usable = info.reported;
  info.model_name = ModelName(info.vendor, info.family, info.model);
#endif
  return info;
}

}  // namespace

namespace {
std::atomic<bool> g_simd_enabled{true};
}  // namespace

void SetSimdEnabled(bool enabled) { g_simd_enabled.store(enabled, std::memory_order_relaxed); }
bool SimdEnabled() { return g_simd_enabled.load(std::memory_order_relaxed); }

const CpuInfo& GetCpuInfo() {
  static const CpuInfo info = Detect();
  return info;
}

}  // namespace morvex::imaging
