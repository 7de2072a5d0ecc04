// Raw two-wire reads from several threads never interleave their address
// write and data read on one sensor object.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/thread.h"
#include "recording_controller.h"
#include "sensors/sensor_imx992.h"

namespace morvex {
namespace {

using test::BusEvent;

TEST(SensorBusLock, RawReadsStayPaired) {
  platform::SimulatedClock clock;
  test::RecordingController controller(clock);
  for (uint16_t a = 0; a < 4; ++a)
    controller.sensor[static_cast<uint16_t>(0x0100 + a)] = static_cast<uint8_t>(0x10 + a);
  CSensorIMX992 sensor(&controller, 0x48, clock);

  constexpr int kThreads = 4;
  constexpr int kReads = 300;
  std::vector<int> wrong(kThreads, 0);
  std::vector<std::unique_ptr<platform::Thread>> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.push_back(std::make_unique<platform::Thread>());
    ASSERT_TRUE(threads.back()->Start([&, t] {
      const uint16_t address = static_cast<uint16_t>(0x0100 + t);
      for (int i = 0; i < kReads; ++i) {
        uint8_t value = 0;
        if (!sensor.ReadRegisterRaw(address, &value) || value != 0x10 + t) ++wrong[t];
      }
    }));
  }
  for (auto& thread : threads) ASSERT_TRUE(thread->Join());
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;

  const std::vector<BusEvent> events = controller.Events();
  ASSERT_EQ(events.size(), static_cast<size_t>(kThreads * kReads * 2));
  for (size_t i = 0; i < events.size(); i += 2) {
    ASSERT_EQ(events[i].kind, BusEvent::kWriteCommand);
    ASSERT_EQ(events[i + 1].kind, BusEvent::kReadCommand);
    ASSERT_EQ(events[i].thread, events[i + 1].thread);
  }
}

}  // namespace
}  // namespace morvex
