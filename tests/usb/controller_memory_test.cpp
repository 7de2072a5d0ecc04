// Memory transfers and device selection against a recording driver port.
#include "controller_test.h"

namespace morvex {
namespace {

using namespace controller_testing;

struct MemoryDevice {
  std::vector<std::vector<uint8_t>> commands;
  std::vector<std::vector<uint8_t>> written;
  int short_by = 0;
  RecordingPort::Responder Responder() {
    return [this](const PortCall& call, uint8_t*, uint8_t* out, uint32_t out_size) {
      Answer answer;
      answer.bytes = out_size;
      if (call.code != 0x22004B) return answer;
      answer.mode = Answer::kPending;
      if (call.in[13] == 0x01 && out_size == 32 && call.out_at_call.size() == 32 &&
          (Le32(call.out_at_call, 0) == 0x52335551u || Le32(call.out_at_call, 0) == 0x57335551u)) {
        commands.push_back(call.out_at_call);
        return answer;
      }
      if (call.in[13] == 0x01) {
        written.push_back(call.out_at_call);
      } else {
        for (uint32_t i = 0; i < out_size; ++i) out[i] = static_cast<uint8_t>(i * 7 + 1);
      }
      answer.bytes = out_size - short_by;
      return answer;
    };
  }
};

TEST_F(ControllerTest, MemoryReadMovesWholePagesPlusOne) {
  MemoryDevice device;
  port_.SetResponder(device.Responder());
  std::vector<uint8_t> buffer(4096);
  EXPECT_EQ(cam_->ReadMemory(0x123456000ULL, buffer.data(), 4096), 1);
  EXPECT_EQ(Describe(port_.io_calls()), (std::vector<std::string>{"D01:32", "D81:8192"}));
  ASSERT_EQ(device.commands.size(), 1u);
  const std::vector<uint8_t> expected_command = {'Q',  'U', '3', 'R', 2, 0,    0,    0,    0x00, 0x60, 0x45,
                                                 0x23, 1,   0,   0,   0, 0x00, 0x20, 0x00, 0x00, 0,    0,
                                                 0,    0,   0,   0,   0, 0,    0,    0,    0,    0};
  EXPECT_EQ(device.commands[0], expected_command);
  for (uint32_t i = 0; i < 4096; ++i) ASSERT_EQ(buffer[i], static_cast<uint8_t>(i * 7 + 1)) << i;
  EXPECT_FALSE(cam_->stream_open());

  // 100 bytes move one page; the caller's 100-byte buffer gets its 100.
  port_.ClearCalls();
  device.commands.clear();
  std::vector<uint8_t> small(100);
  EXPECT_EQ(cam_->ReadMemory(0, small.data(), 100), 1);
  EXPECT_EQ(Describe(port_.io_calls()), (std::vector<std::string>{"D01:32", "D81:4096"}));
  ASSERT_EQ(device.commands.size(), 1u);
  EXPECT_EQ(Le32(device.commands[0], 16), 4096u);
  EXPECT_EQ(small[99], static_cast<uint8_t>(99 * 7 + 1));
}

TEST_F(ControllerTest, MemoryMovesIn16MiBChunksAndAdvancesTheAddress) {
  MemoryDevice device;
  port_.SetResponder(device.Responder());
  std::vector<uint8_t> buffer(0x1000000);
  EXPECT_EQ(cam_->ReadMemory(0xFFFFF000ULL, buffer.data(), 0x1000000), 1);
  EXPECT_EQ(Describe(port_.io_calls()),
            (std::vector<std::string>{"D01:32", "D81:16777216", "D01:32", "D81:4096"}));
  ASSERT_EQ(device.commands.size(), 2u);
  EXPECT_EQ(Le32(device.commands[0], 8), 0xFFFFF000u);
  EXPECT_EQ(Le32(device.commands[0], 12), 0u);
  EXPECT_EQ(Le32(device.commands[0], 16), 0x1000000u);
  EXPECT_EQ(Le32(device.commands[1], 8), 0x00FFF000u) << "address carried into the high word";
  EXPECT_EQ(Le32(device.commands[1], 12), 1u);
  EXPECT_EQ(Le32(device.commands[1], 16), 0x1000u);
}

TEST_F(ControllerTest, MemoryWriteSendsQU3WAndPadsThePage) {
  MemoryDevice device;
  port_.SetResponder(device.Responder());
  std::vector<uint8_t> data(100);
  for (int i = 0; i < 100; ++i) data[i] = static_cast<uint8_t>(200 - i);
  EXPECT_EQ(cam_->WriteMemory(0x2000, data.data(), 100), 1);
  EXPECT_EQ(Describe(port_.io_calls()), (std::vector<std::string>{"D01:32", "D01:4096"}));
  ASSERT_EQ(device.commands.size(), 1u);
  EXPECT_EQ(Le32(device.commands[0], 0), 0x57335551u);
  EXPECT_EQ(Le32(device.commands[0], 4), 2u);
  EXPECT_EQ(Le32(device.commands[0], 8), 0x2000u);
  EXPECT_EQ(Le32(device.commands[0], 16), 4096u);
  ASSERT_EQ(device.written.size(), 1u);
  ASSERT_EQ(device.written[0].size(), 4096u);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), device.written[0].begin()));
  for (size_t i = 100; i < 4096; ++i) ASSERT_EQ(device.written[0][i], 0) << i;
}

TEST_F(ControllerTest, ShortMemoryChunkFailsTheCall) {
  MemoryDevice device;
  device.short_by = 1;
  port_.SetResponder(device.Responder());
  std::vector<uint8_t> buffer(0x3000);
  EXPECT_EQ(cam_->ReadMemory(0, buffer.data(), 0x3000), 0);
  EXPECT_EQ(Describe(port_.io_calls()), (std::vector<std::string>{"D01:32", "D81:16384"}));

  // A refused command block fails before any data moves.
  port_.ClearCalls();
  port_.SetResponder([](const PortCall&, uint8_t*, uint8_t*, uint32_t) {
    Answer answer;
    answer.mode = Answer::kPending;
    answer.ok = false;
    return answer;
  });
  EXPECT_EQ(cam_->ReadMemory(0, buffer.data(), 16), 0);
  EXPECT_EQ(Describe(port_.io_calls()), (std::vector<std::string>{"D01:32"}));
  EXPECT_FALSE(cam_->stream_open());
}

// ---------------------------------------------------------------- selection

TEST_F(ControllerTest, SelectDeviceKeepsTheIndexWhenTheNewOneCannotOpen) {
  EXPECT_EQ(cam_->SelectDevice(1), 1);
  EXPECT_EQ(cam_->selected_table_index(), 1);
  ASSERT_EQ(cam_->OpenStream(), 1);
  EXPECT_EQ(port_.calls().back().path, kCam1);
  EXPECT_TRUE(port_.calls().back().overlapped);
  port_.SetOpenable(kCam0, false);
  EXPECT_EQ(cam_->SelectDevice(0), 0);
  EXPECT_EQ(cam_->selected_table_index(), 1);
  EXPECT_FALSE(cam_->stream_open()) << "the stream handle is closed in any case";
  EXPECT_EQ(port_.open_handles(), 0);
  EXPECT_EQ(cam_->SelectDevice(2), 0) << "beyond the entry count";
  EXPECT_EQ(cam_->SelectDevice(32), 0);
  EXPECT_EQ(cam_->selected_table_index(), 1);
}

TEST_F(ControllerTest, SecondaryEndpointReadDeliversTheExpectedCount) {
  port_.SetResponder([](const PortCall& call, uint8_t*, uint8_t* out, uint32_t out_size) {
    Answer answer;
    answer.bytes = out_size;
    if (call.code == 0x22004B) {
      std::memset(out, 0x83, out_size);
      answer.mode = Answer::kPending;
    }
    return answer;
  });
  std::vector<uint8_t> destination(300);
  FrameRecord record{};
  record.buffer = destination.data();
  record.capacity = 300;
  record.expected = 256;
  EXPECT_EQ(cam_->ReadFrameSecondary(&record), 1);
  EXPECT_EQ(Describe(port_.io_calls()), (std::vector<std::string>{"RC2", "D83:256"}));
  EXPECT_EQ(destination[255], 0x83);
  EXPECT_EQ(destination[256], 0);
  record.expected = 301;
  port_.ClearCalls();
  EXPECT_EQ(cam_->ReadFrameSecondary(&record), 0) << "more than the destination holds";
  EXPECT_TRUE(port_.io_calls().empty());
  cam_->CloseStream();
}

}  // namespace
}  // namespace morvex
