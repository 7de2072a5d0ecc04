// Frame headers, frame data and the stream transfers, byte for byte,
// against a recording driver port.
#include "controller_test.h"

namespace morvex {
namespace {

using namespace controller_testing;

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

TEST_F(ControllerTest, FrameHeaderStopsRetryingOnceTheStreamIsAborted) {
  port_.SetResponder([&](const PortCall& call, uint8_t*, uint8_t*, uint32_t out_size) {
    Answer answer;
    answer.bytes = out_size;
    if (call.code == 0x22004B) {
      cam_->AbortStream();
      answer.mode = Answer::kPending;
      answer.ok = false;
      answer.error = platform::kErrorOperationAborted;
    }
    return answer;
  });
  ASSERT_EQ(cam_->OpenStream(), 1);
  port_.ClearCalls();
  FrameRecord record{};
  EXPECT_EQ(cam_->ReadFrameHeader(&record), 0);
  EXPECT_EQ(Describe(port_.io_calls()), (std::vector<std::string>{"RC2", "D81:64", "A81"}));

  // A stream opened afresh retries again.
  cam_->CloseStream();
  ASSERT_EQ(cam_->OpenStream(), 1);
  port_.SetResponder([](const PortCall& call, uint8_t*, uint8_t*, uint32_t out_size) {
    Answer answer;
    answer.bytes = out_size;
    if (call.code == 0x22004B) {
      answer.mode = Answer::kPending;
      answer.ok = false;
    }
    return answer;
  });
  port_.ClearCalls();
  EXPECT_EQ(cam_->ReadFrameHeader(&record), 0);
  EXPECT_EQ(port_.io_calls().size(), 60u) << "fifteen attempts of four requests";
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

}  // namespace
}  // namespace morvex
