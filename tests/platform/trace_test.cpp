// The run-time trace: category names, and lines reaching the trace file only
// for categories that are on.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/trace.h"
#include "paths.h"

namespace morvex::platform {
namespace {

TEST(Trace, CategoryNamesParse) {
  const struct {
    const char* text;
    uint32_t mask;
  } cases[] = {{nullptr, 0},
               {"", 0},
               {"all", kTraceAll},
               {"usb", kTraceUsb},
               {"usb,device", kTraceUsb | kTraceDevice},
               {"camera,nonsense,api", kTraceCamera | kTraceApi},
               {"USB", 0}};
  for (const auto& c : cases) EXPECT_EQ(ParseTraceCategories(c.text), c.mask) << (c.text ? c.text : "(null)");
}

TEST(Trace, OnlyCategoriesSwitchedOnWriteLines) {
  const std::string path = test::TempPath("trace.txt");
#ifdef MORVEX_WIN32
  _putenv_s("MORVEX_TRACE_FILE", path.c_str());
#else
  setenv("MORVEX_TRACE_FILE", path.c_str(), 1);
#endif
  const uint32_t before = g_trace_categories.load();
  SetTraceCategories(kTraceUsb);
  MORVEX_TRACE(kTraceUsb, "request %d failed", 7);
  MORVEX_TRACE(kTraceDevice, "never written");
  EnableTrace(kTraceDevice);
  MORVEX_TRACE(kTraceDevice, "now written");
  SetTraceCategories(before);
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_EQ(text.str(), "morvex usb: request 7 failed\nmorvex device: now written\n");
  file.close();
  std::remove(path.c_str());
#ifdef MORVEX_WIN32
  _putenv_s("MORVEX_TRACE_FILE", "");
#else
  unsetenv("MORVEX_TRACE_FILE");
#endif
}

}  // namespace
}  // namespace morvex::platform
