// Enumeration and the machine-wide device table of CFx3Api.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>

#include "platform/clock.h"
#include "platform/shared_memory.h"
#include "names.h"
#include "recording_port.h"
#include "usb/fx3_api.h"
#include "usb/qor_cy3_cam.h"

namespace morvex {
namespace {

using test::DevicePath;
using test::PortCall;
using test::RecordingPort;

// Reads the shared view as another process would, by offsets.
struct ViewReader {
  platform::SharedMemory memory;
  explicit ViewReader(const std::string& name) {
    memory.Open(name.c_str(), 8584, platform::SharedMemory::Mode::kOpenExisting);
  }
  const uint8_t* bytes() const { return static_cast<const uint8_t*>(memory.data()); }
  uint32_t U32(size_t at) const {
    uint32_t value;
    std::memcpy(&value, bytes() + at, 4);
    return value;
  }
  uint32_t attach_count() const { return U32(0); }
  uint32_t used_count() const { return U32(8580); }
  uint16_t vendor(int i) const { return static_cast<uint16_t>(U32(4 + 268 * i) & 0xFFFF); }
  uint16_t product(int i) const { return static_cast<uint16_t>(U32(4 + 268 * i) >> 16); }
  int32_t instance(int i) const { return static_cast<int32_t>(U32(4 + 268 * i + 4)); }
  std::string path(int i) const { return reinterpret_cast<const char*>(bytes() + 4 + 268 * i + 8); }
};

class DeviceTableTest : public ::testing::Test {
 protected:
  std::unique_ptr<CFx3Api> Attach() { return std::make_unique<CFx3Api>(port_, clock_, mapping_.c_str()); }

  RecordingPort port_;
  platform::SimulatedClock clock_;
  std::string mapping_ = test::UniqueName("tab");
};

TEST_F(DeviceTableTest, CamerasAreNumberedPerModelInOrderOfDiscovery) {
  const std::string a = DevicePath(0x04b4, 0x3290, "a");
  const std::string other = DevicePath(0x04b4, 0x3042, "o");
  const std::string b = DevicePath(0x04B4, 0x3290, "b");
  port_.SetInterfaces({a, other, b});
  auto api = Attach();
  EXPECT_EQ(api->EnumerateDevices(), 3);
  EXPECT_EQ(api->GetEntryProductId(0), 0x3290);
  EXPECT_EQ(api->GetEntryInstance(0), 0);
  EXPECT_EQ(api->GetEntryProductId(1), 0x3042);
  EXPECT_EQ(api->GetEntryInstance(1), 0);
  EXPECT_EQ(api->GetEntryVendorId(2), 0x04b4);
  EXPECT_EQ(api->GetEntryProductId(2), 0x3290);
  EXPECT_EQ(api->GetEntryInstance(2), 1);
  EXPECT_EQ(api->GetEntryPath(2), b);

  // Found again by path: nothing is added.
  EXPECT_EQ(api->EnumerateDevices(), 3);
  // Unplugged cameras keep their entry; plugged in again they find it.
  port_.SetInterfaces({b});
  EXPECT_EQ(api->EnumerateDevices(), 3);
  EXPECT_EQ(api->GetEntryPath(0), a);
  port_.SetInterfaces({a, b});
  EXPECT_EQ(api->EnumerateDevices(), 3);

  // Outside the table: the free-entry answers.
  EXPECT_EQ(api->GetEntryProductId(32), 0);
  EXPECT_EQ(api->GetEntryVendorId(32), 0);
  EXPECT_EQ(api->GetEntryInstance(32), -1);
  EXPECT_EQ(api->GetEntryInstance(3), -1);
  EXPECT_EQ(api->GetEntryInstance(-1), -1);

  ViewReader view(mapping_);
  ASSERT_TRUE(view.memory.valid());
  EXPECT_EQ(view.used_count(), 3u);
  EXPECT_EQ(view.attach_count(), 1u);
  EXPECT_EQ(view.vendor(1), 0x04b4);
  EXPECT_EQ(view.product(1), 0x3042);
  EXPECT_EQ(view.instance(2), 1);
  EXPECT_EQ(view.path(2), b);
  EXPECT_EQ(view.instance(3), -1);
}

TEST_F(DeviceTableTest, UnopenableAndMalformedPathsAreSkipped) {
  const std::string busy = DevicePath(0x04b4, 0x3290, "busy");
  const std::string good = DevicePath(0x04b4, 0x3290, "good");
  std::string too_long = DevicePath(0x04b4, 0x3290, std::string(300, 'x'));
  std::string longest = DevicePath(0x04b4, 0x3290, "");
  longest.insert(26, std::string(259 - longest.size(), 'y'));
  ASSERT_EQ(longest.size(), 259u);
  std::string one_more = longest;
  one_more.insert(26, "z");
  const std::string not_hex = "\\\\?\\usb#vid_04b4&pid_32G0#x#{328184c5-93e6-49b7-94b8-2ada13aabb39}";
  const std::string too_short = "\\\\?\\usb#vid_04b4&pid";
  const std::string free_marker = DevicePath(0x04b4, 0x0000, "zero");
  port_.SetInterfaces({busy, too_long, one_more, not_hex, too_short, free_marker, longest, good});
  port_.SetOpenable(busy, false);
  auto api = Attach();
  EXPECT_EQ(api->EnumerateDevices(), 2);
  EXPECT_EQ(api->GetEntryPath(0), longest) << "259 characters fit whole";
  EXPECT_EQ(api->GetEntryPath(1), good);
  EXPECT_EQ(api->GetEntryInstance(1), 1);

  // Every path that is looked at is opened once for the test and closed.
  int opened = 0, closed = 0;
  for (auto& call : port_.calls()) {
    if (call.kind == PortCall::kOpen) {
      ++opened;
      EXPECT_TRUE(call.overlapped);
    }
    if (call.kind == PortCall::kClose) ++closed;
  }
  EXPECT_EQ(port_.open_handles(), 0);
  EXPECT_EQ(opened - 1, closed) << "the busy camera never opened";
}

TEST_F(DeviceTableTest, TheTableHoldsThirtyTwoCameras) {
  std::vector<std::string> paths;
  for (int i = 0; i < 32; ++i) paths.push_back(DevicePath(0x04b4, 0x3290, "cam" + std::to_string(i)));
  port_.SetInterfaces(paths);
  auto api = Attach();
  EXPECT_EQ(api->EnumerateDevices(), 32);
  EXPECT_EQ(api->GetEntryInstance(31), 31);

  // A 33rd camera is not added; enumeration still answers 32.
  std::vector<std::string> more = {DevicePath(0x04b4, 0x3290, "cam32")};
  more.insert(more.end(), paths.begin(), paths.end() - 1);
  port_.SetInterfaces(more);
  EXPECT_EQ(api->EnumerateDevices(), 32);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(api->GetEntryPath(i), paths[i]);

  // Only the first 32 interfaces the system reports are looked at.
  auto fresh_name = test::UniqueName("tab");
  CFx3Api other(port_, clock_, fresh_name.c_str());
  std::vector<std::string> many = paths;
  many.push_back(DevicePath(0x04b4, 0x3290, "cam33"));
  port_.SetInterfaces(many);
  port_.SetOpenable(paths[0], false);
  EXPECT_EQ(other.EnumerateDevices(), 31);
}

TEST_F(DeviceTableTest, OpeningChecksTheIndexBeforeTouchingTheSystem) {
  const std::string a = DevicePath(0x04b4, 0x3290, "a");
  port_.SetInterfaces({a});
  auto api = Attach();
  ASSERT_EQ(api->EnumerateDevices(), 1);
  port_.ClearCalls();
  CFx3Api::Handle handle = nullptr;
  EXPECT_EQ(api->OpenDevicePath(&handle, 1, false), 0);
  EXPECT_EQ(api->OpenDevicePath(&handle, 32, true), 0);
  EXPECT_EQ(api->OpenDevicePath(&handle, -1, true), 0);
  EXPECT_EQ(api->IsDeviceOpenable(1), 0);
  EXPECT_TRUE(port_.calls().empty());

  EXPECT_EQ(api->OpenDevicePath(&handle, 0, true), 1);
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(port_.calls().back().overlapped);
  EXPECT_EQ(api->CloseDeviceHandle(handle), 1);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(api->CloseDeviceHandle(handle), 0) << "nothing to close";

  EXPECT_EQ(api->IsDeviceOpenable(0), 1);
  EXPECT_EQ(port_.open_handles(), 0) << "the test handle is closed again";
  port_.SetOpenable(a, false);
  EXPECT_EQ(api->IsDeviceOpenable(0), 0);
}

TEST_F(DeviceTableTest, LastDetachClearsTheTableForTheNextAttach) {
  port_.SetInterfaces({DevicePath(0x04b4, 0x3290, "a"), DevicePath(0x04b4, 0x3290, "b")});
  auto first = Attach();
  auto second = Attach();
  ASSERT_EQ(first->EnumerateDevices(), 2);
  {
    ViewReader view(mapping_);
    EXPECT_EQ(view.attach_count(), 2u);
  }
  // Every object of the process sees what one of them found.
  EXPECT_EQ(second->GetEntryCount(), 2);
  second.reset();
  {
    ViewReader view(mapping_);
    EXPECT_EQ(view.attach_count(), 1u);
  }
  auto third = Attach();
  EXPECT_EQ(third->GetEntryCount(), 2) << "a live user keeps the table";
  third.reset();
  first.reset();
  auto fresh = Attach();
  EXPECT_EQ(fresh->GetEntryCount(), 0);
  EXPECT_EQ(fresh->GetEntryInstance(0), -1);
  ViewReader view(mapping_);
  if (view.memory.valid()) {
    EXPECT_EQ(view.attach_count(), 1u);
    EXPECT_EQ(view.used_count(), 0u);
  }
}

TEST_F(DeviceTableTest, InterfaceClassIsTheDriversUnlessReplaced) {
  auto api = Attach();
  api->EnumerateDevices();
  ASSERT_EQ(port_.guids_asked().size(), 1u);
  const platform::Guid expected = {
      0x328184C5, 0x93E6, 0x49B7, {0x94, 0xB8, 0x2A, 0xDA, 0x13, 0xAA, 0xBB, 0x39}};
  EXPECT_TRUE(port_.guids_asked()[0] == expected);
  const platform::Guid other = {0x11223344, 0x5566, 0x7788, {1, 2, 3, 4, 5, 6, 7, 8}};
  EXPECT_EQ(api->SetInterfaceGuid(nullptr), 0);
  EXPECT_EQ(api->SetInterfaceGuid(&other), 1);
  api->EnumerateDevices();
  EXPECT_TRUE(port_.guids_asked()[1] == other);

  CQorCy3Cam cam(port_, clock_, &other, mapping_.c_str());
  EXPECT_TRUE(cam.interface_guid() == other);
}

TEST_F(DeviceTableTest, DebugLogPathLiesBesideTheExecutable) {
  auto api = Attach();
  const std::string& path = api->debug_log_path();
  ASSERT_GE(path.size(), 12u);
  EXPECT_EQ(path.substr(path.size() - 12), "DEBUGLOG.txt");
  EXPECT_TRUE(path.size() == 12 || path[path.size() - 13] == '/' || path[path.size() - 13] == '\\');
}

TEST_F(DeviceTableTest, DamagedViewIsNotTrusted) {
  auto api = Attach();
  {
    platform::SharedMemory memory;
    ASSERT_TRUE(memory.Open(mapping_.c_str(), 8584, platform::SharedMemory::Mode::kOpenExisting));
    auto* bytes = static_cast<uint8_t*>(memory.data());
    const uint32_t bogus = 1000;
    std::memcpy(bytes + 8580, &bogus, 4);
    std::memset(bytes + 4 + 8, 'x', 260);  // an unterminated path
  }
  port_.SetInterfaces({DevicePath(0x04b4, 0x3290, "a")});
  EXPECT_EQ(api->EnumerateDevices(), 32);
  EXPECT_EQ(api->GetEntryPath(0).size(), 259u);
}

TEST(DeviceIds, ParsedAtCharacters12And21) {
  uint16_t vendor = 0, product = 0;
  EXPECT_TRUE(ParseDeviceIds("\\\\?\\usb#vid_04b4&pid_3290#5&abc#{x}", &vendor, &product));
  EXPECT_EQ(vendor, 0x04b4);
  EXPECT_EQ(product, 0x3290);
  EXPECT_TRUE(ParseDeviceIds("\\\\?\\USB#VID_ABCD&PID_EF01#", &vendor, &product));
  EXPECT_EQ(vendor, 0xABCD);
  EXPECT_EQ(product, 0xEF01);
  EXPECT_FALSE(ParseDeviceIds("\\\\?\\usb#vid_04b4&pid_32", &vendor, &product));
  EXPECT_FALSE(ParseDeviceIds("\\\\?\\usb#vid_04 4&pid_3290", &vendor, &product));
  EXPECT_EQ(vendor, 0xABCD) << "untouched on failure";
}

}  // namespace
}  // namespace morvex
