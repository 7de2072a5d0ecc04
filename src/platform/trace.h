// The run-time trace: off by default and one relaxed load when off. Switched
// on per category by the environment variable MORVEX_TRACE ("all", or names
// separated by commas: "usb,device") or by the SDK's "Trace" registry value
// (a category mask), read when a camera instance initialises. Lines go to the
// debugger output on Windows and to standard error natively, or, with
// MORVEX_TRACE_FILE set, appended to that file.
#pragma once

#include <atomic>
#include <cstdint>

namespace morvex::platform {

enum TraceCategory : uint32_t {
  kTracePlatform = 1u << 0,
  kTraceUsb = 1u << 1,
  kTraceEmulator = 1u << 2,
  kTraceSensors = 1u << 3,
  kTraceDevice = 1u << 4,
  kTraceImaging = 1u << 5,
  kTraceFiles = 1u << 6,
  kTraceSettings = 1u << 7,
  kTraceCamera = 1u << 8,
  kTraceApi = 1u << 9,
  kTraceAll = (1u << 10) - 1,
};

extern std::atomic<uint32_t> g_trace_categories;

inline bool TraceEnabled(TraceCategory category) {
  return (g_trace_categories.load(std::memory_order_relaxed) & category) != 0;
}
// Adds categories to those switched on.
void EnableTrace(uint32_t categories);
void SetTraceCategories(uint32_t categories);
// "all", or category names ("usb", "device", ...) separated by commas;
// unknown names are ignored.
uint32_t ParseTraceCategories(const char* text);
// One line, printf-formatted, with its category's name in front.
void TraceLine(TraceCategory category, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace morvex::platform

// Formats nothing unless the category is on.
#define MORVEX_TRACE(category, ...)                                                                       \
  do {                                                                                                    \
    if (::morvex::platform::TraceEnabled(category)) ::morvex::platform::TraceLine(category, __VA_ARGS__); \
  } while (0)
