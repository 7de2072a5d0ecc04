// The controller's requests, byte for byte, against a recording driver port.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#include "platform/clock.h"
#include "names.h"
#include "recording_port.h"
#include "usb/qor_cy3_cam.h"

namespace morvex {
namespace {

using test::Answer;
using test::ControlAnswers;
using test::DevicePath;
using test::ExpectedControlBlock;
using test::Le32;
using test::PortCall;
using test::RecordingPort;

const std::string kCam0 = DevicePath(0x04b4, 0x3290, "cam&0");
const std::string kCam1 = DevicePath(0x04b4, 0x3290, "cam&1");

// A short name per request, so that order checks read like the protocol.
std::string Describe(const PortCall& call) {
  char text[64];
  switch (call.code) {
    case 0x220020:
      if (call.in.size() != 102) return "bad control block";
      if (call.in[1] == 0x30 && call.in[4] == 0x40 && call.in[2] == 3) {
        std::snprintf(text, sizeof(text), "F%02X=%u", call.in[38], call.in[40]);
        return text;
      }
      std::snprintf(text, sizeof(text), "R%02X", call.in[1]);
      return text;
    case 0x22004B:
      std::snprintf(text, sizeof(text), "D%02X:%u", call.in.size() == 38 ? call.in[13] : 0xFF, call.out_size);
      return text;
    case 0x220044:
      std::snprintf(text, sizeof(text), "A%02X", call.in.empty() ? 0xFF : call.in[0]);
      return text;
    default:
      std::snprintf(text, sizeof(text), "C%06X", call.code);
      return text;
  }
}

std::vector<std::string> Describe(const std::vector<PortCall>& calls) {
  std::vector<std::string> result;
  for (auto& call : calls) result.push_back(Describe(call));
  return result;
}

std::vector<PortCall> ControlCalls(const RecordingPort& port) {
  std::vector<PortCall> result;
  for (auto& call : port.io_calls())
    if (call.code == 0x220020) result.push_back(call);
  return result;
}

class ControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_.SetInterfaces({kCam0, kCam1});
    cam_ = std::make_unique<CQorCy3Cam>(port_, clock_, nullptr, mapping_.c_str());
    ASSERT_EQ(cam_->EnumerateDevices(), 2);
    ASSERT_EQ(cam_->PrepareTransfers(), 1);
    port_.ClearCalls();
  }
  void TearDown() override {
    cam_.reset();
    EXPECT_EQ(port_.open_handles(), 0) << "a handle was left open";
    EXPECT_EQ(clock_.OpenTimerPeriods(), 0) << "timer resolution not restored";
  }

  // The one control request the last operation sent; checks that it went
  // out on a request handle of its own that was closed again.
  std::vector<uint8_t> OnlyRequest() {
    auto calls = port_.calls();
    EXPECT_EQ(calls.size(), 3u);
    if (calls.size() != 3u) return {};
    EXPECT_EQ(calls[0].kind, PortCall::kOpen);
    EXPECT_EQ(calls[0].path, kCam0);
    EXPECT_FALSE(calls[0].overlapped) << "requests use a non-overlapped handle";
    EXPECT_EQ(calls[1].kind, PortCall::kIoControl);
    EXPECT_EQ(calls[1].code, 0x220020u);
    EXPECT_EQ(calls[1].out_size, 102u);
    EXPECT_FALSE(calls[1].async);
    EXPECT_EQ(calls[2].kind, PortCall::kClose);
    EXPECT_EQ(calls[2].handle, calls[0].handle);
    port_.ClearCalls();
    return calls[1].in;
  }

  RecordingPort port_;
  platform::SimulatedClock clock_;
  std::string mapping_ = test::UniqueName("ctl");
  std::unique_ptr<CQorCy3Cam> cam_;
};

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

// ---------------------------------------------------------------- frames

std::vector<uint8_t> FrameHeaderBytes(uint32_t byte_count, uint32_t counter) {
  std::vector<uint8_t> header(64);
  for (int i = 0; i < 64; ++i) header[i] = static_cast<uint8_t>(i);
  for (int i = 0; i < 4; ++i) {
    header[16 + i] = static_cast<uint8_t>(byte_count >> (8 * i));
    header[32 + i] = static_cast<uint8_t>(counter >> (8 * i));
  }
  return header;
}

TEST_F(ControllerTest, FrameHeaderIsReadAfterAFifoReset) {
  const auto header = FrameHeaderBytes(655360, 0x1234);
  port_.SetResponder([&](const PortCall& call, uint8_t*, uint8_t* out, uint32_t out_size) {
    Answer answer;
    answer.bytes = out_size;
    if (call.code == 0x22004B) {
      std::memcpy(out, header.data(), 64);
      answer.mode = Answer::kPending;
    }
    return answer;
  });
  FrameRecord record{};
  EXPECT_EQ(cam_->ReadFrameHeader(&record), 1);
  EXPECT_EQ(std::vector<uint8_t>(record.header, record.header + 64), header);
  EXPECT_EQ(record.frame_counter, 0x1234u);
  EXPECT_EQ(FrameByteCount(record), 655360u);
  EXPECT_TRUE(cam_->stream_open()) << "the stream stays open after a header";
  EXPECT_EQ(Describe(port_.io_calls()), (std::vector<std::string>{"RC2", "D81:64"}));
  auto calls = port_.io_calls();
  EXPECT_TRUE(calls[1].async);
  EXPECT_TRUE(calls[1].overlapped);
  ASSERT_EQ(calls[1].in.size(), 38u);
  for (size_t i = 0; i < 38; ++i) EXPECT_EQ(calls[1].in[i], i == 13 ? 0x81 : 0) << "header byte " << i;
}

TEST_F(ControllerTest, FrameHeaderGivesUpAfterFifteenAttemptsWithRestartPulses) {
  port_.SetResponder([](const PortCall& call, uint8_t*, uint8_t*, uint32_t out_size) {
    Answer answer;
    answer.bytes = out_size;
    if (call.code == 0x220020) answer.bytes = 38;
    if (call.code == 0x22004B) {
      answer.mode = Answer::kPending;
      answer.ok = false;
      answer.error = platform::kErrorGenFailure;
    }
    return answer;
  });
  FrameRecord record{};
  const uint32_t start = clock_.TickCount();
  EXPECT_EQ(cam_->ReadFrameHeader(&record), 0);
  std::vector<std::string> expected;
  for (int attempt = 0; attempt < 15; ++attempt) {
    for (const char* step : {"RC2", "D81:64", "F6C=1", "F6C=0"}) expected.push_back(step);
  }
  EXPECT_EQ(Describe(port_.io_calls()), expected);
  EXPECT_EQ(clock_.TickCount() - start, 150u) << "10 ms after every pulse";
  EXPECT_FALSE(cam_->stream_open()) << "a stream opened for the header is closed on failure";
}

TEST_F(ControllerTest, FrameHeaderStopsWhenTheFifoResetFails) {
  int resets = 0;
  port_.SetResponder([&](const PortCall& call, uint8_t*, uint8_t*, uint32_t out_size) {
    Answer answer;
    answer.bytes = out_size;
    if (call.code == 0x220020 && call.in[1] == 0xC2 && ++resets == 2) answer.mode = Answer::kFail;
    if (call.code == 0x22004B) {
      answer.mode = Answer::kPending;
      answer.ok = false;
    }
    return answer;
  });
  ASSERT_EQ(cam_->OpenStream(), 1);
  port_.ClearCalls();
  FrameRecord record{};
  EXPECT_EQ(cam_->ReadFrameHeader(&record), 0);
  EXPECT_EQ(Describe(port_.io_calls()), (std::vector<std::string>{"RC2", "D81:64", "F6C=1", "F6C=0", "RC2"}));
  EXPECT_TRUE(cam_->stream_open()) << "a stream it did not open stays open";
}

TEST_F(ControllerTest, FrameDataArrivesIn512KiBChunks) {
  const uint32_t total = 2 * 0x80000 + 100;
  int chunk = 0;
  port_.SetResponder([&](const PortCall& call, uint8_t*, uint8_t* out, uint32_t out_size) {
    Answer answer;
    answer.bytes = out_size;
    if (call.code == 0x22004B) {
      std::memset(out, 0x10 + chunk++, out_size);
      answer.mode = Answer::kPending;
    }
    return answer;
  });
  std::vector<uint8_t> destination(total + 16, 0xEE);
  FrameRecord record{};
  auto header = FrameHeaderBytes(total, 1);
  std::memcpy(record.header, header.data(), 64);
  record.buffer = destination.data();
  record.capacity = total;
  EXPECT_EQ(cam_->ReadFrameData(&record, 3000), 1);
  EXPECT_EQ(Describe(port_.io_calls()), (std::vector<std::string>{"D81:524288", "D81:524288", "D81:100"}));
  EXPECT_EQ(destination[0], 0x10);
  EXPECT_EQ(destination[0x7FFFF], 0x10);
  EXPECT_EQ(destination[0x80000], 0x11);
  EXPECT_EQ(destination[0x100000], 0x12);
  EXPECT_EQ(destination[total - 1], 0x12);
  EXPECT_EQ(destination[total], 0xEE);
  EXPECT_FALSE(cam_->stream_open()) << "a stream opened for the data is closed again";

  // A failed chunk fails the frame.
  port_.ClearCalls();
  chunk = 0;
  port_.SetResponder([&](const PortCall& call, uint8_t*, uint8_t*, uint32_t out_size) {
    Answer answer;
    answer.bytes = out_size;
    if (call.code == 0x22004B) {
      answer.mode = Answer::kPending;
      answer.ok = ++chunk != 2;
    }
    return answer;
  });
  EXPECT_EQ(cam_->ReadFrameData(&record, 3000), 0);
  EXPECT_EQ(port_.io_calls().size(), 2u);
}

TEST_F(ControllerTest, OversizedFrameIsRefusedBeforeAnyTransfer) {
  std::vector<uint8_t> destination(1000);
  FrameRecord record{};
  auto header = FrameHeaderBytes(1001, 1);
  std::memcpy(record.header, header.data(), 64);
  record.buffer = destination.data();
  record.capacity = 1000;
  EXPECT_EQ(cam_->ReadFrameData(&record, 3000), 0);
  EXPECT_TRUE(port_.calls().empty());
}

TEST_F(ControllerTest, NonZeroUsbStatusFailsATransferThatMovedBytes) {
  for (size_t status_offset : {size_t{14}, size_t{18}}) {
    port_.SetResponder([&](const PortCall& call, uint8_t* in, uint8_t*, uint32_t out_size) {
      Answer answer;
      answer.bytes = out_size;
      if (call.code == 0x22004B) {
        in[status_offset] = 0x05;  // the driver reports a stalled pipe
        answer.mode = Answer::kPending;
      }
      return answer;
    });
    std::vector<uint8_t> destination(256);
    FrameRecord record{};
    auto header = FrameHeaderBytes(256, 1);
    std::memcpy(record.header, header.data(), 64);
    record.buffer = destination.data();
    record.capacity = 256;
    const uint32_t start = clock_.TickCount();
    EXPECT_EQ(cam_->ReadFrameData(&record, 100), 0) << "status offset " << status_offset;
    EXPECT_EQ(clock_.TickCount() - start, 1u) << "1 ms pause after a bad status";
  }
}

TEST_F(ControllerTest, DirectTransferCountIsStoredEvenWhenTheStatusFails) {
  CFx3Api::Handle handle = nullptr;
  ASSERT_EQ(cam_->OpenDevicePath(&handle, 0, true), 1);
  port_.SetResponder([](const PortCall& call, uint8_t* in, uint8_t*, uint32_t) {
    Answer answer;
    answer.bytes = 200;
    if (call.code == 0x22004B) {
      in[18] = 1;
      answer.mode = Answer::kPending;
    }
    return answer;
  });
  uint8_t buffer[256];
  uint32_t count = 0;
  EXPECT_EQ(cam_->TransferDirect(handle, buffer, 256, 0x81, &count, 100), 0);
  EXPECT_EQ(count, 200u);
  cam_->CloseDeviceHandle(handle);
  EXPECT_EQ(handle, nullptr);
}

TEST_F(ControllerTest, TimedOutTransferIsAbortedAndEndsBeforeReturning) {
  CFx3Api::Handle handle = nullptr;
  ASSERT_EQ(cam_->OpenDevicePath(&handle, 0, true), 1);
  port_.ClearCalls();
  port_.SetResponder([](const PortCall& call, uint8_t*, uint8_t*, uint32_t out_size) {
    Answer answer;
    answer.bytes = out_size;
    if (call.code == 0x22004B) answer.mode = Answer::kHang;
    return answer;
  });
  uint8_t buffer[64];
  uint32_t count = 77;
  EXPECT_EQ(cam_->TransferDirect(handle, buffer, 64, 0x81, &count, 5), 0);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(Describe(port_.io_calls()), (std::vector<std::string>{"D81:64", "A81"}));
  EXPECT_EQ(port_.hung_requests(), 0);

  // A transfer the first abort does not end gets a second one.
  port_.ClearCalls();
  port_.SetAbortsToComplete(2);
  EXPECT_EQ(cam_->TransferDirect(handle, buffer, 64, 0x81, &count, 5), 0);
  EXPECT_EQ(Describe(port_.io_calls()), (std::vector<std::string>{"D81:64", "A81", "A81"}));
  EXPECT_EQ(port_.hung_requests(), 0);

  // A write that times out aborts its own pipe.
  port_.ClearCalls();
  port_.SetAbortsToComplete(1);
  EXPECT_EQ(cam_->TransferDirect(handle, buffer, 64, 0x01, &count, 5), 0);
  EXPECT_EQ(Describe(port_.io_calls()), (std::vector<std::string>{"D01:64", "A01"}));
  cam_->CloseDeviceHandle(handle);
}

TEST_F(ControllerTest, EachDirectTransferStartsCleanAndWaitsForItsOwnEnd) {
  CFx3Api::Handle handle = nullptr;
  ASSERT_EQ(cam_->OpenDevicePath(&handle, 0, true), 1);
  port_.ClearCalls();
  int transfer = 0;
  port_.SetResponder([&](const PortCall& call, uint8_t* in, uint8_t*, uint32_t out_size) {
    Answer answer;
    answer.bytes = out_size;
    if (call.code != 0x22004B) return answer;
    switch (transfer++) {
      case 0:
        in[18] = 1;  // the driver writes a USB status into the header
        answer.mode = Answer::kPending;
        break;
      case 1:
        answer.mode = Answer::kComplete;  // done at once: its event stays set
        break;
      default:
        answer.mode = Answer::kHang;
        break;
    }
    return answer;
  });
  uint8_t buffer[64];
  uint32_t count = 0;
  EXPECT_EQ(cam_->TransferDirect(handle, buffer, 64, 0x81, &count, 100), 0);
  // The next header is all zero but for the endpoint, whatever the last held.
  EXPECT_EQ(cam_->TransferDirect(handle, buffer, 64, 0x81, &count, 100), 1);
  EXPECT_EQ(count, 64u);
  // A stale completion must not end the wait of a transfer still pending.
  EXPECT_EQ(cam_->TransferDirect(handle, buffer, 64, 0x81, &count, 5), 0);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(port_.hung_requests(), 0);
  const auto calls = port_.io_calls();
  EXPECT_EQ(Describe(calls), (std::vector<std::string>{"D81:64", "D81:64", "D81:64", "A81"}));
  std::vector<uint8_t> clean(38, 0);
  clean[13] = 0x81;
  for (size_t i = 0; i < 3 && i < calls.size(); ++i) EXPECT_EQ(calls[i].in, clean) << "transfer " << i;
  cam_->CloseDeviceHandle(handle);
}

TEST_F(ControllerTest, StreamingNeedsTheTransferBufferAndRespects64MiB) {
  CFx3Api::Handle handle = nullptr;
  ASSERT_EQ(cam_->OpenDevicePath(&handle, 0, true), 1);
  port_.ClearCalls();
  uint8_t byte = 0;
  uint32_t count = 0;
  EXPECT_EQ(cam_->TransferDirect(handle, &byte, 0x4000001, 0x81, &count, 10), 0);
  EXPECT_EQ(cam_->TransferBuffered(handle, &byte, 0x4000001, 0x81, &count), 0);
  EXPECT_TRUE(port_.calls().empty());
  cam_->ReleaseStream();
  EXPECT_FALSE(cam_->has_transfer_buffer());
  EXPECT_EQ(cam_->TransferDirect(handle, &byte, 1, 0x81, &count, 10), 0);
  EXPECT_EQ(cam_->SendDirect(handle, &byte, 1, 0x01, &count), 0);
  EXPECT_TRUE(port_.calls().empty());
  cam_->CloseDeviceHandle(handle);
}

TEST_F(ControllerTest, BufferedTransferGoesThroughTheTransferBuffer) {
  CFx3Api::Handle handle = nullptr;
  ASSERT_EQ(cam_->OpenDevicePath(&handle, 0, true), 1);
  port_.ClearCalls();
  uint32_t returned = 138;
  port_.SetResponder([&](const PortCall& call, uint8_t*, uint8_t* out, uint32_t) {
    Answer answer;
    if (call.code == 0x220024) std::memset(out + 38, 0x3C, 100);
    answer.bytes = returned;
    return answer;
  });
  uint8_t buffer[100] = {};
  uint32_t count = 0;
  EXPECT_EQ(cam_->TransferBuffered(handle, buffer, 100, 0x81, &count), 1);
  EXPECT_EQ(count, 100u);
  EXPECT_EQ(buffer[0], 0x3C);
  EXPECT_EQ(buffer[99], 0x3C);
  auto calls = port_.io_calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].code, 0x220024u);
  ASSERT_EQ(calls[0].in.size(), 138u);
  EXPECT_EQ(calls[0].out_size, 138u);
  EXPECT_TRUE(calls[0].async);
  EXPECT_EQ(calls[0].in[13], 0x81);
  EXPECT_EQ(Le32(calls[0].in, 30), 38u);
  EXPECT_EQ(Le32(calls[0].in, 34), 100u);

  // Data for an OUT endpoint travels in the block.
  port_.ClearCalls();
  uint8_t out_data[4] = {9, 8, 7, 6};
  EXPECT_EQ(cam_->TransferBuffered(handle, out_data, 4, 0x01, &count), 1);
  calls = port_.io_calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].in[13], 0x01);
  EXPECT_EQ(std::vector<uint8_t>(calls[0].in.begin() + 38, calls[0].in.end()),
            (std::vector<uint8_t>{9, 8, 7, 6}));
  cam_->CloseDeviceHandle(handle);
}

TEST_F(ControllerTest, PortEndpointAndBusSpeedRequests) {
  port_.SetResponder([](const PortCall& call, uint8_t*, uint8_t* out, uint32_t out_size) {
    Answer answer;
    answer.bytes = out_size;
    if (call.code == 0x22004C) {
      out[0] = 4;
      out[1] = out[2] = out[3] = 0;
    }
    return answer;
  });
  EXPECT_EQ(cam_->ResetPort(), 1);
  EXPECT_EQ(cam_->ResetEndpoint(0x81), 1);
  uint32_t speed = 0;
  EXPECT_EQ(cam_->GetBusSpeed(&speed), 1);
  EXPECT_EQ(speed, 4u);
  auto calls = port_.io_calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].code, 0x220030u);
  EXPECT_TRUE(calls[0].in.empty());
  EXPECT_EQ(calls[1].code, 0x22002Cu);
  EXPECT_EQ(calls[1].in, std::vector<uint8_t>{0x81});
  EXPECT_EQ(calls[2].code, 0x22004Cu);
  EXPECT_EQ(calls[2].in.size(), 4u);
  EXPECT_EQ(calls[2].out_size, 4u);
  for (auto& call : calls) EXPECT_FALSE(call.overlapped) << "request handles";

  // A refused bus-speed query stores nothing.
  port_.SetResponder([](const PortCall&, uint8_t*, uint8_t*, uint32_t) {
    Answer answer;
    answer.mode = Answer::kFail;
    return answer;
  });
  speed = 77;
  EXPECT_EQ(cam_->GetBusSpeed(&speed), 0);
  EXPECT_EQ(speed, 77u);
}

TEST_F(ControllerTest, PrepareTransfersAllocatesOnceAndResetsThePort) {
  cam_->ReleaseStream();
  port_.ClearCalls();
  EXPECT_EQ(cam_->PrepareTransfers(), 1);
  EXPECT_TRUE(cam_->has_transfer_buffer());
  auto calls = port_.calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[1].code, 0x220030u);
  // The port reset's result does not matter once the buffer exists.
  port_.SetResponder([](const PortCall&, uint8_t*, uint8_t*, uint32_t) {
    Answer answer;
    answer.mode = Answer::kFail;
    return answer;
  });
  EXPECT_EQ(cam_->PrepareTransfers(), 1);
}

// ---------------------------------------------------------------- memory

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
