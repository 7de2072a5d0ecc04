#include "platform/trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/text.h"

namespace morvex::platform {

namespace {

const struct {
  const char* name;
  TraceCategory category;
} kCategories[] = {
    {"platform", kTracePlatform}, {"usb", kTraceUsb},           {"emulator", kTraceEmulator},
    {"sensors", kTraceSensors},   {"device", kTraceDevice},     {"imaging", kTraceImaging},
    {"files", kTraceFiles},       {"settings", kTraceSettings}, {"camera", kTraceCamera},
    {"api", kTraceApi},
};

const char* NameOf(TraceCategory category) {
  for (const auto& entry : kCategories)
    if (entry.category == category) return entry.name;
  return "trace";
}

uint32_t FromEnvironment() { return ParseTraceCategories(std::getenv("MORVEX_TRACE")); }

std::mutex& OutputLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

std::atomic<uint32_t> g_trace_categories{FromEnvironment()};

void EnableTrace(uint32_t categories) { g_trace_categories.fetch_or(categories & kTraceAll); }

void SetTraceCategories(uint32_t categories) { g_trace_categories.store(categories & kTraceAll); }

uint32_t ParseTraceCategories(const char* text) {
  if (text == nullptr) return 0;
  uint32_t mask = 0;
  std::string list(text);
  size_t start = 0;
  while (start <= list.size()) {
    const size_t comma = list.find(',', start);
    const std::string name =
        list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (name == "all" || name == "1") mask |= kTraceAll;
    for (const auto& entry : kCategories)
      if (name == entry.name) mask |= entry.category;
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return mask;
}

void TraceLine(TraceCategory category, const char* format, ...) {
  char text[512];
  const int prefix = std::snprintf(text, sizeof text, "morvex %s: ", NameOf(category));
  va_list args;
  va_start(args, format);
  std::vsnprintf(text + prefix, sizeof text - static_cast<size_t>(prefix) - 1, format, args);
  va_end(args);
  std::strncat(text, "\n", sizeof text - std::strlen(text) - 1);
  std::lock_guard<std::mutex> lock(OutputLock());
  if (const char* path = std::getenv("MORVEX_TRACE_FILE")) {
    if (std::FILE* file = std::fopen(path, "a")) {
      std::fputs(text, file);
      std::fclose(file);
      return;
    }
  }
  DebugOutput(text);
}

}  // namespace morvex::platform
