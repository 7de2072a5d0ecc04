// The registry configuration: the fixed key and value names, cameras built
// from them, and the values watched at run time.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "emulator/emulator.h"
#include "link.h"
#include "paths.h"
#include "platform/settings_store.h"
#include "platform/test_namespace.h"

namespace morvex::emulator {
namespace {

using test::Link;

const platform::Guid kClass = {0x328184C5, 0x93E6, 0x49B7, {0x94, 0xB8, 0x2A, 0xDA, 0x13, 0xAA, 0xBB, 0x39}};
// The emulator reads its key in this program's test namespace.
const std::string kKey = ConfigKey();

template <typename Condition>
bool Eventually(Condition condition, int ms = 2000) {
  for (int waited = 0; waited < ms; waited += 10) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

class Configuration : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    store_ = new morvex::test::PrivateSettings();
    platform::SettingsKey::DeleteTree(kKey);
  }
  static void TearDownTestSuite() {
    platform::SettingsKey::DeleteTree(kKey);
    delete store_;
  }
  // Natively the store is a file of this program's own, removed afterwards.
  static inline morvex::test::PrivateSettings* store_ = nullptr;
};

// One test, in order: the port is process-wide once it exists.
TEST_F(Configuration, CamerasFollowTheRegistry) {
  EXPECT_EQ(ConfiguredPort(), nullptr) << "no key: no emulator";
  platform::SettingsKey root;
  ASSERT_TRUE(root.Create(kKey));
  ASSERT_TRUE(root.SetDword("Cameras", 0));
  EXPECT_EQ(ConfiguredPort(), nullptr) << "Cameras = 0: no emulator";

  ASSERT_TRUE(root.SetDword("Cameras", 2));
  platform::SettingsKey second;
  ASSERT_TRUE(second.Create(std::string(kKey) + "\\Camera_01"));
  ASSERT_TRUE(second.SetString("Serial", "QA-0002"));
  ASSERT_TRUE(second.SetDword("FirmwareVersion", 0x1100));
  ASSERT_TRUE(second.SetDword("Scene", 1));
  ASSERT_TRUE(second.SetDword("Present", 1));
  ASSERT_TRUE(second.SetDword("FailHeaderReads", 0));

  std::shared_ptr<platform::DriverPort> port = ConfiguredPort();
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(ConfiguredPort(), port) << "one port per process";
  std::vector<std::string> paths = port->EnumerateInterfaces(kClass);
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[0].substr(12, 4), "04b4");
  EXPECT_EQ(paths[0].substr(21, 4), "3290");

  Link first(*port, paths[0]);
  Link other(*port, paths[1]);
  EXPECT_EQ(first.EepromText(0x1040), "MVX00001");
  EXPECT_EQ(other.EepromText(0x1040), "QA-0002");
  test::ControlReply info = other.In(0xB0);
  EXPECT_EQ(info.data[24] | (info.data[25] << 8), 0x1100);
  EXPECT_EQ(first.Fpga(0x11), 0x81);
  EXPECT_EQ(first.Sensor(0x0324), 640 & 0xFF);
  std::array<uint8_t, 64> h;
  std::vector<uint8_t> data;
  ASSERT_TRUE(other.ReadFrame(&h, &data));
  EXPECT_EQ(test::Le32(h.data() + 16), 640u * 512u);
  EXPECT_EQ(data[1], 0);  // ramp: (1 + 0) >> 4

  // Unplug and plug back through the registry.
  ASSERT_TRUE(second.SetDword("Present", 0));
  EXPECT_TRUE(Eventually([&] { return port->EnumerateInterfaces(kClass).size() == 1; }));
  EXPECT_EQ(port->Open(paths[1], false), nullptr);
  ASSERT_TRUE(second.SetDword("Present", 1));
  EXPECT_TRUE(Eventually([&] { return port->EnumerateInterfaces(kClass).size() == 2; }));

  // The stream handle died with the unplug.
  EXPECT_FALSE(other.ReadFrame(&h, &data));
  other.CloseStream();
  // A fault injected mid-stream; the count is written back as it is used.
  ASSERT_TRUE(other.ReadFrame(&h, &data));
  ASSERT_TRUE(second.SetDword("FailHeaderReads", 1));
  auto* emulator = dynamic_cast<EmulatorPort*>(port.get());
  ASSERT_NE(emulator, nullptr);
  EXPECT_TRUE(Eventually([&] { return emulator->camera(1).pending_header_faults() == 1; }));
  ASSERT_TRUE(other.FifoReset());
  EXPECT_TRUE(other.Read(h.data(), 64, 100).timed_out);
  uint32_t left = 99;
  EXPECT_TRUE(Eventually([&] {
    platform::SettingsKey k;
    return k.Open(std::string(kKey) + "\\Camera_01") && k.QueryDword("FailHeaderReads", &left) && left == 0;
  }));
  EXPECT_TRUE(other.ReadFrame(&h, &data));
  // The same count again arms it again.
  ASSERT_TRUE(second.SetDword("FailHeaderReads", 1));
  EXPECT_TRUE(Eventually([&] { return emulator->camera(1).pending_header_faults() == 1; }));
}

}  // namespace
}  // namespace morvex::emulator
