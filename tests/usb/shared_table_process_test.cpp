// The device table shared between processes: this binary starts itself again
// as the second process.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "child_process.h"
#include "platform/clock.h"
#include "platform/shared_memory.h"
#include "names.h"
#include "recording_port.h"
#include "usb/fx3_api.h"

namespace morvex {
namespace {

using test::ChildArgument;
using test::ChildProcess;
using test::ChildRole;
using test::DevicePath;
using test::RecordingPort;

constexpr char kChildFilter[] = "--gtest_filter=SharedTableChild.*";

std::vector<std::string> CameraPaths(const std::string& tag, int count) {
  std::vector<std::string> paths;
  for (int i = 0; i < count; ++i) paths.push_back(DevicePath(0x04b4, 0x3290, tag + std::to_string(i)));
  return paths;
}

uint32_t AttachCountInView(const std::string& mapping) {
  platform::SharedMemory memory;
  if (!memory.Open(mapping.c_str(), 8584, platform::SharedMemory::Mode::kOpenExisting)) return 0;
  uint32_t count = 0;
  std::memcpy(&count, memory.data(), 4);
  return count;
}

// What the second process does; in the first process this has no role and
// passes at once.
TEST(SharedTableChild, Role) {
  const std::string role = ChildRole();
  const std::string mapping = ChildArgument();
  if (role.empty()) return;
  RecordingPort port;
  platform::SimulatedClock clock;
  if (role == "verify") {
    CFx3Api api(port, clock, mapping.c_str());
    const auto expected = CameraPaths("cam", 3);
    ASSERT_EQ(api.GetEntryCount(), 3);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(api.GetEntryPath(i), expected[i]);
      EXPECT_EQ(api.GetEntryInstance(i), i);
    }
    EXPECT_EQ(AttachCountInView(mapping), 2u);
  } else if (role == "enumerate-two") {
    port.SetInterfaces(CameraPaths("gone", 2));
    CFx3Api api(port, clock, mapping.c_str());
    EXPECT_EQ(api.EnumerateDevices(), 2);
  } else if (role == "race-a" || role == "race-b") {
    const auto paths = CameraPaths(role, 16);
    CFx3Api api(port, clock, mapping.c_str());
    for (int round = 0; round < 20; ++round) {
      for (int k = 1; k <= 16; ++k) {
        port.SetInterfaces(std::vector<std::string>(paths.begin(), paths.begin() + k));
        api.EnumerateDevices();
      }
    }
    EXPECT_GE(api.GetEntryCount(), 16);
  } else {
    FAIL() << "unknown role " << role;
  }
}

TEST(SharedTableAcrossProcesses, SecondProcessSeesTheSameIndices) {
  const std::string mapping = test::UniqueName("proc");
  RecordingPort port;
  platform::SimulatedClock clock;
  port.SetInterfaces(CameraPaths("cam", 3));
  CFx3Api api(port, clock, mapping.c_str());
  ASSERT_EQ(api.EnumerateDevices(), 3);
  auto child = ChildProcess::Start({kChildFilter}, "verify", mapping);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->Wait(), 0) << "the second process saw another table";
  EXPECT_EQ(AttachCountInView(mapping), 1u) << "the second process detached";
}

TEST(SharedTableAcrossProcesses, LastDetachClearsTheTableForTheNextAttach) {
  const std::string mapping = test::UniqueName("proc");
  auto child = ChildProcess::Start({kChildFilter}, "enumerate-two", mapping);
  ASSERT_NE(child, nullptr);
  ASSERT_EQ(child->Wait(), 0);
  RecordingPort port;
  platform::SimulatedClock clock;
  CFx3Api api(port, clock, mapping.c_str());
  EXPECT_EQ(api.GetEntryCount(), 0);
  EXPECT_EQ(api.GetEntryProductId(0), 0);
  EXPECT_EQ(api.GetEntryInstance(0), -1);
}

TEST(SharedTableAcrossProcesses, ConcurrentEnumerationLosesNothing) {
  const std::string mapping = test::UniqueName("proc");
  RecordingPort port;
  platform::SimulatedClock clock;
  CFx3Api api(port, clock, mapping.c_str());  // keeps the table alive
  auto first = ChildProcess::Start({kChildFilter}, "race-a", mapping);
  auto second = ChildProcess::Start({kChildFilter}, "race-b", mapping);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->Wait(), 0);
  EXPECT_EQ(second->Wait(), 0);

  EXPECT_EQ(api.EnumerateDevices(), 32);
  std::set<std::string> expected;
  for (auto& path : CameraPaths("race-a", 16)) expected.insert(path);
  for (auto& path : CameraPaths("race-b", 16)) expected.insert(path);
  std::set<std::string> found;
  std::vector<int32_t> instances;
  for (int i = 0; i < 32; ++i) {
    found.insert(api.GetEntryPath(i));
    instances.push_back(api.GetEntryInstance(i));
  }
  EXPECT_EQ(found, expected) << "an entry was lost or duplicated";
  std::sort(instances.begin(), instances.end());
  for (int i = 0; i < 32; ++i) EXPECT_EQ(instances[i], i);
}

}  // namespace
}  // namespace morvex
