// The controller's requests and register access, byte for byte, against a
// recording driver port.
#include "controller_test.h"

namespace morvex {
namespace {

using namespace controller_testing;

TEST_F(ControllerTest, EveryVendorRequestSendsItsExactBlock) {
  const uint8_t payload[3] = {0x11, 0x22, 0x33};
  uint8_t buffer[64] = {};
  uint32_t word = 0;
  uint8_t byte = 0;

  EXPECT_EQ(cam_->WriteCommand(0x48, payload, 3, 999), 1);
  EXPECT_EQ(OnlyRequest(), ExpectedControlBlock(0x40, 0x30, 3, 0x48, {0x11, 0x22, 0x33}));
  EXPECT_EQ(cam_->ReadCommand(0x48, buffer, 2, 999), 1);
  EXPECT_EQ(OnlyRequest(), ExpectedControlBlock(0xC0, 0x31, 2, 0x49));
  EXPECT_EQ(cam_->WriteByte3C(0x5A), 1);
  EXPECT_EQ(OnlyRequest(), ExpectedControlBlock(0x40, 0x3C, 0, 0, {0x5A}));
  EXPECT_EQ(cam_->ReadByte3D(&byte), 1);
  EXPECT_EQ(OnlyRequest(), ExpectedControlBlock(0xC0, 0x3D, 0, 0));
  EXPECT_EQ(cam_->WriteWordPair(0x1234, 0xABCD), 1);
  EXPECT_EQ(OnlyRequest(), ExpectedControlBlock(0x40, 0x3E, 0, 0, {0x12, 0x34, 0xAB, 0xCD}));
  EXPECT_EQ(cam_->ReadWord3F(&word), 1);
  EXPECT_EQ(OnlyRequest(), ExpectedControlBlock(0xC0, 0x3F, 0, 0));
  EXPECT_EQ(cam_->ReadCameraInfo(buffer), 1);
  EXPECT_EQ(OnlyRequest(), ExpectedControlBlock(0xC0, 0xB0, 0, 0));
  EXPECT_EQ(cam_->ReadCameraInfo2(buffer), 1);
  EXPECT_EQ(OnlyRequest(), ExpectedControlBlock(0xC0, 0xB1, 0, 0));
  EXPECT_EQ(cam_->RestartStream(), 1);
  EXPECT_EQ(OnlyRequest(), ExpectedControlBlock(0x40, 0xC0, 0, 0));
  EXPECT_EQ(cam_->ReadReadyFlag(&byte), 1);
  EXPECT_EQ(OnlyRequest(), ExpectedControlBlock(0xC0, 0xC3, 0, 0));
  EXPECT_EQ(cam_->SendRequestCC(), 1);
  EXPECT_EQ(OnlyRequest(), ExpectedControlBlock(0x42, 0xCC, 0, 0));
  EXPECT_EQ(cam_->WriteRegister32(0x8123, 0xA1B2C3D4u), 1);
  EXPECT_EQ(OnlyRequest(), ExpectedControlBlock(0x40, 0xD0, 0x8000, 0x0123, {0xD4, 0xC3, 0xB2, 0xA1}));
  EXPECT_EQ(cam_->WriteRegister32(0x0456, 7), 1);
  EXPECT_EQ(OnlyRequest(), ExpectedControlBlock(0x40, 0xD0, 0, 0x0456, {7, 0, 0, 0}));
  EXPECT_EQ(cam_->ReadRegister16(0x3456, &word), 1);
  EXPECT_EQ(OnlyRequest(), ExpectedControlBlock(0xC0, 0xD1, 0, 0x3456));
}

TEST_F(ControllerTest, StreamFifoResetGoesOutOnTheStreamHandle) {
  ASSERT_EQ(cam_->OpenStream(), 1);
  port_.ClearCalls();
  EXPECT_EQ(cam_->ResetStreamFifo(), 1);
  auto calls = port_.calls();
  ASSERT_EQ(calls.size(), 1u) << "no request handle is opened for 0xC2";
  EXPECT_EQ(calls[0].code, 0x220020u);
  EXPECT_TRUE(calls[0].overlapped);
  EXPECT_EQ(calls[0].in, ExpectedControlBlock(0x42, 0xC2, 0, 0));
  cam_->CloseStream();
  EXPECT_FALSE(cam_->stream_open());
  EXPECT_EQ(cam_->ResetStreamFifo(), 0) << "no stream handle, no request";
}

TEST_F(ControllerTest, ReadResultsFollowTheReceivedCount) {
  int data_bytes = 64;
  port_.SetResponder(ControlAnswers([&](const PortCall&, uint8_t* data) {
    for (int i = 0; i < 64; ++i) data[i] = static_cast<uint8_t>(0xA0 + i);
    return data_bytes;
  }));
  uint8_t buffer[64];
  std::memset(buffer, 0xEE, sizeof(buffer));

  // A generic read stores nothing when fewer bytes came back, yet succeeds.
  data_bytes = 3;
  EXPECT_EQ(cam_->ReadCommand(0x48, buffer, 4, 0), 1);
  EXPECT_EQ(buffer[0], 0xEE);
  EXPECT_EQ(cam_->ReadCommand(0x48, buffer, 3, 0), 1);
  EXPECT_EQ(buffer[0], 0xA0);
  EXPECT_EQ(buffer[2], 0xA2);
  EXPECT_EQ(buffer[3], 0xEE);

  // Information blocks need exactly 64 bytes.
  std::memset(buffer, 0xEE, sizeof(buffer));
  data_bytes = 63;
  EXPECT_EQ(cam_->ReadCameraInfo(buffer), 1);
  EXPECT_EQ(buffer[0], 0xEE);
  data_bytes = 64;
  EXPECT_EQ(cam_->ReadCameraInfo2(buffer), 1);
  EXPECT_EQ(buffer[63], 0xA0 + 63);

  // 0x3D and 0x3F: stored when anything came back.
  uint8_t byte = 0x55;
  data_bytes = 0;
  EXPECT_EQ(cam_->ReadByte3D(&byte), 1);
  EXPECT_EQ(byte, 0x55);
  data_bytes = 1;
  EXPECT_EQ(cam_->ReadByte3D(&byte), 1);
  EXPECT_EQ(byte, 0xA0);
  uint32_t word = 0xFFFFFFFFu;
  data_bytes = 0;
  EXPECT_EQ(cam_->ReadWord3F(&word), 1);
  EXPECT_EQ(word, 0xFFFFFFFFu);
  data_bytes = 2;
  EXPECT_EQ(cam_->ReadWord3F(&word), 1);
  EXPECT_EQ(word, 0xA1A0u) << "little-endian, zero-extended";

  // Ready flag and 0xD1: only a full 64-byte answer counts.
  byte = 0x55;
  data_bytes = 63;
  EXPECT_EQ(cam_->ReadReadyFlag(&byte), 1);
  EXPECT_EQ(byte, 0x55);
  data_bytes = 64;
  EXPECT_EQ(cam_->ReadReadyFlag(&byte), 1);
  EXPECT_EQ(byte, 0xA0);
  word = 0xFFFFFFFFu;
  data_bytes = 63;
  EXPECT_EQ(cam_->ReadRegister16(0x10, &word), 1);
  EXPECT_EQ(word, 0xFFFFFFFFu);
  data_bytes = 64;
  EXPECT_EQ(cam_->ReadRegister16(0x10, &word), 1);
  EXPECT_EQ(word, 0x0000A1A0u) << "the upper half is cleared";
}

TEST_F(ControllerTest, FailedOrOversizedRequestsLeaveResultsUntouched) {
  port_.SetResponder(ControlAnswers([](const PortCall&, uint8_t*) { return -1; }));
  uint8_t byte = 0x55;
  uint32_t word = 0x12345678;
  uint8_t info[64];
  std::memset(info, 0xEE, sizeof(info));
  EXPECT_EQ(cam_->ReadByte3D(&byte), 0);
  EXPECT_EQ(cam_->ReadWord3F(&word), 0);
  EXPECT_EQ(cam_->ReadCameraInfo(info), 0);
  EXPECT_EQ(cam_->ReadReadyFlag(&byte), 0);
  EXPECT_EQ(cam_->ReadFpgaRegister(3, &byte), 0);
  EXPECT_EQ(byte, 0x55);
  EXPECT_EQ(word, 0x12345678u);
  EXPECT_EQ(info[0], 0xEE);
  EXPECT_EQ(port_.open_handles(), 0);

  // More than 64 data bytes are refused before any I/O.
  port_.ClearCalls();
  uint8_t big[65] = {};
  EXPECT_EQ(cam_->WriteCommand(0x48, big, 65, 0), 0);
  EXPECT_EQ(cam_->ReadCommand(0x48, big, 65, 0), 0);
  EXPECT_TRUE(port_.calls().empty());
}

TEST_F(ControllerTest, DriverAnswersOutsideTheBlockAreNotBelieved) {
  // An answer shorter than the header carries no data at all.
  port_.SetResponder([](const PortCall&, uint8_t*, uint8_t* out, uint32_t) {
    std::memset(out + 38, 0xA5, 64);
    Answer answer;
    answer.bytes = 20;
    return answer;
  });
  uint8_t buffer[4] = {1, 2, 3, 4};
  EXPECT_EQ(cam_->ReadCommand(0x48, buffer, 1, 0), 1);
  EXPECT_EQ(buffer[0], 1);

  // A count beyond the block is cut to the block.
  port_.SetResponder([](const PortCall&, uint8_t*, uint8_t* out, uint32_t) {
    std::memset(out + 38, 0xA5, 64);
    Answer answer;
    answer.bytes = 5000;
    return answer;
  });
  uint8_t info[64] = {};
  EXPECT_EQ(cam_->ReadCameraInfo(info), 1);
  EXPECT_EQ(info[63], 0xA5);
}

// A small FPGA: command 0x40 writes {reg, 0, value} or selects {reg}; 0x41
// answers {0, value}. `answer_bytes` cuts the read answer short.
struct FpgaModel {
  std::mutex mutex;
  uint8_t registers[256] = {};
  int selected = -1;
  int answer_bytes = 2;
  std::thread::id selector;
  std::atomic<int> interleaved{0};

  RecordingPort::Responder Responder() {
    return ControlAnswers([this](const PortCall& call, uint8_t* data) -> int {
      std::lock_guard<std::mutex> lock(mutex);
      const uint8_t request = call.in[1];
      const uint16_t value = call.in[2] | call.in[3] << 8;
      const uint16_t index = call.in[4] | call.in[5] << 8;
      if (request == 0x30 && index == 0x40 && value == 3) {
        registers[call.in[38]] = call.in[40];
        return 0;
      }
      if (request == 0x30 && index == 0x40 && value == 1) {
        selected = call.in[38];
        selector = call.thread;
        return 0;
      }
      if (request == 0x31 && index == 0x41 && value == 2) {
        if (selector != call.thread) ++interleaved;
        data[0] = 0x99;
        data[1] = selected >= 0 ? registers[selected] : 0;
        return answer_bytes;
      }
      return 0;
    });
  }
};

TEST_F(ControllerTest, FpgaRegisterReadReturnsTheSecondByte) {
  FpgaModel fpga;
  fpga.registers[0x10] = 0x25;
  fpga.registers[0x11] = 0x81;
  fpga.registers[0x07] = 0x3C;
  port_.SetResponder(fpga.Responder());

  uint8_t value = 0;
  EXPECT_EQ(cam_->ReadFpgaRegister(0x07, &value), 1);
  EXPECT_EQ(value, 0x3C);
  auto calls = ControlCalls(port_);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].in, ExpectedControlBlock(0x40, 0x30, 1, 0x40, {0x07}));
  EXPECT_EQ(calls[1].in, ExpectedControlBlock(0xC0, 0x31, 2, 0x41));

  port_.ClearCalls();
  EXPECT_EQ(cam_->WriteFpgaRegister(0x6C, 0x101), 1);
  calls = ControlCalls(port_);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].in, ExpectedControlBlock(0x40, 0x30, 3, 0x40, {0x6C, 0x00, 0x01})) << "8-bit value";

  uint16_t version = 0;
  EXPECT_EQ(cam_->ReadFpgaVersionWord(&version), 1);
  EXPECT_EQ(version, 0x8125);

  // A read answered with one byte has no second byte: it fails.
  fpga.answer_bytes = 1;
  value = 0x55;
  EXPECT_EQ(cam_->ReadFpgaRegister(0x07, &value), 0);
  EXPECT_EQ(value, 0x55);
  EXPECT_EQ(cam_->ReadFpgaVersionWord(&version), 0);
}

TEST_F(ControllerTest, AuxiliaryRegistersUseCommands5AAnd5B) {
  port_.SetResponder(ControlAnswers([](const PortCall& call, uint8_t* data) {
    if (call.in[1] == 0x31) data[0] = 0x6E;
    return call.in[1] == 0x31 ? 1 : 0;
  }));
  EXPECT_EQ(cam_->WriteAuxRegister(0x21, 0x42), 1);
  uint8_t value = 0;
  EXPECT_EQ(cam_->ReadAuxRegister(0x21, &value), 1);
  EXPECT_EQ(value, 0x6E);
  auto calls = ControlCalls(port_);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].in, ExpectedControlBlock(0x40, 0x30, 2, 0x5A, {0x21, 0x42}));
  EXPECT_EQ(calls[1].in, ExpectedControlBlock(0x40, 0x30, 1, 0x5A, {0x21}));
  EXPECT_EQ(calls[2].in, ExpectedControlBlock(0xC0, 0x31, 1, 0x5B));
}

TEST_F(ControllerTest, EepromAccessPausesForTheChip) {
  std::vector<uint32_t> sent_at;
  port_.SetResponder(ControlAnswers([&](const PortCall& call, uint8_t* data) {
    sent_at.push_back(clock_.TickCount());
    if (call.in[1] == 0x31) data[0] = 0x4D;
    return call.in[1] == 0x31 ? 1 : 0;
  }));
  const uint32_t start = clock_.TickCount();
  EXPECT_EQ(cam_->WriteSromByte(0x1040, 0x4D), 1);
  EXPECT_EQ(clock_.TickCount() - start, 14u) << "returns only after the write cycle";
  ASSERT_EQ(sent_at.size(), 1u);
  EXPECT_EQ(sent_at[0], start) << "the pause follows the write";

  uint8_t value = 0;
  EXPECT_EQ(cam_->ReadSromByte(0x1080, &value), 1);
  EXPECT_EQ(value, 0x4D);
  ASSERT_EQ(sent_at.size(), 3u);
  EXPECT_EQ(sent_at[2] - sent_at[1], 10u) << "10 ms between address and read";

  auto calls = ControlCalls(port_);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].in, ExpectedControlBlock(0x40, 0x30, 3, 0xA2, {0x10, 0x40, 0x4D}));
  EXPECT_EQ(calls[1].in, ExpectedControlBlock(0x40, 0x30, 2, 0xA2, {0x10, 0x80}));
  EXPECT_EQ(calls[2].in, ExpectedControlBlock(0xC0, 0x31, 1, 0xA3));

  // A refused address write ends the read at once.
  port_.ClearCalls();
  port_.SetResponder(ControlAnswers([](const PortCall&, uint8_t*) { return -1; }));
  const uint32_t before = clock_.TickCount();
  EXPECT_EQ(cam_->ReadSromByte(0x1080, &value), 0);
  EXPECT_EQ(ControlCalls(port_).size(), 1u);
  EXPECT_EQ(clock_.TickCount(), before);
}

TEST_F(ControllerTest, FpgaReadsFromTwoThreadsNeverInterleave) {
  FpgaModel fpga;
  for (int i = 0; i < 256; ++i) fpga.registers[i] = static_cast<uint8_t>(i ^ 0x5A);
  port_.SetResponder(fpga.Responder());
  std::atomic<int> wrong{0};
  auto reader = [&](uint8_t reg) {
    for (int i = 0; i < 200; ++i) {
      uint8_t value = 0;
      if (!cam_->ReadFpgaRegister(reg, &value) || value != (reg ^ 0x5A)) ++wrong;
    }
  };
  std::thread first(reader, 0x20);
  std::thread second(reader, 0x31);
  first.join();
  second.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(fpga.interleaved.load(), 0);
}

}  // namespace
}  // namespace morvex
