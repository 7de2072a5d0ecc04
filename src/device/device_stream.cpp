// Streaming: buffer sizing, starting and stopping the frame thread, the frame
// thread itself, single captures and the stream reset.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

#include "device/morvex_z3u2_base.h"

namespace morvex {
namespace {

// StopStream aborts the pending transfer this often while the frame thread
// is still inside one; a transfer the abort cannot reach ends with its own
// time-out, so the rounds cover the longest header retry of the controller.
constexpr int kStopRounds = 24;
constexpr uint32_t kStopRoundMs = 500;

uint32_t LoadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

void CMorvexZ3U2Base::ResetSlotInfo(RingSlot& slot) {
  slot.frame_counter = -1;
  slot.header_words.fill(0xFFFF);
  slot.pair[0] = slot.pair[1] = 0;
  slot.word = 0;
  slot.sequence = 0;
}

void CMorvexZ3U2Base::FreeBuffers() {
  receive_buffer_.reset();
  receive_capacity_ = 0;
  for (RingSlot& slot : ring_) {
    slot.data.reset();
    ResetSlotInfo(slot);
  }
  newest_.store(-1);
  geometry_ = FrameGeometry{};
}

int32_t CMorvexZ3U2Base::ApplySettings() {
  receive_buffer_.reset();
  receive_capacity_ = 0;
  if (!sensor_) return 0;

  SensorDescriptor descriptor{};
  sensor_->CopyDescriptor(&descriptor);
  int32_t left = descriptor.window_left, top = descriptor.window_top;
  int32_t width = descriptor.window_width, height = descriptor.window_height;
  int32_t mode = descriptor.readout_mode;
  sensor_->GetWindow(&left, &width, &top, &height, &mode);
  if (width <= 0 || height <= 0) return 0;

  // Two-byte pixels double the samples per line the FPGA sends; the device
  // sizes everything from what the sensor says it delivers.
  const int32_t pixel_bytes = sensor_->GetBytesPerPixel() == 2 ? 2 : 1;
  const int32_t line_samples = width * pixel_bytes;
  const int32_t flag_bytes = (data_width_flag_ == 1 || data_width_flag_ == 2) ? 2 : 1;
  const uint32_t capacity = FrameBufferCapacity(line_samples, height, flag_bytes);
  const uint64_t frame_bytes =
      static_cast<uint64_t>(height) * static_cast<uint64_t>(line_samples) * static_cast<uint64_t>(flag_bytes);
  if (capacity == 0 || frame_bytes > capacity) return 0;
  frame_byte_count_ = static_cast<int32_t>(frame_bytes);

  receive_buffer_.reset(new (std::nothrow) uint8_t[capacity]);
  if (!receive_buffer_) return 0;
  receive_capacity_ = capacity;
  newest_.store(-1);
  for (int i = 0; i < ring_size_; ++i) {
    RingSlot& slot = ring_[i];
    slot.data.reset(new (std::nothrow) uint8_t[capacity]());
    ResetSlotInfo(slot);
    if (!slot.data) return 0;
  }
  geometry_.lines = height;
  geometry_.samples_per_line = width;
  geometry_.bytes_per_sample = pixel_bytes * flag_bytes;
  geometry_.orientation = descriptor.orientation;

  if (product_id_ != product::kSecondaryEndpoint) WriteWindowRegisters(line_samples, height, &mode);
  settings_dirty_ = 0;
  return 1;
}

int32_t CMorvexZ3U2Base::StartStream(int32_t transfer_mode) {
  std::lock_guard<std::recursive_mutex> lock(stream_control_lock_);
  if (running_.load()) {
    platform::WaitResult ended;
    {
      platform::ScopedTimerResolution resolution(clock_);
      ended = thread_end_event_.Wait(5);
    }
    if (ended != platform::WaitResult::kSignaled) StopStream(1);
  }
  if (!SetTransferMode(transfer_mode)) return 0;
  if (settings_dirty_ && !ApplySettings()) return 0;

  thread_end_event_.Reset();
  // A thread that ended by itself (one-frame modes) is joined here.
  if (frame_thread_ && !EndFrameThread(kThreadJoinMs)) return 0;

  frame_event_.Reset();
  failure_flag_.store(0);
  running_.store(1);
  frame_thread_ = std::make_unique<platform::Thread>();
  if (!frame_thread_->Start([this] { FrameThreadBody(); }, platform::ThreadPriority::kTimeCritical)) {
    running_.store(0);
    frame_thread_.reset();
    return 0;
  }
  if (sensor_ && sensor_->IsAcquisitionWorkerRunning() == 0) sensor_->StartAcquisitionWorker();
  return 1;
}

void CMorvexZ3U2Base::FrameThreadBody() {
  if (product_id_ == product::kSecondaryEndpoint)
    StreamLoopSecondary();
  else if (product::IsMemoryStream(product_id_))
    StreamLoopMemory();
  else
    StreamLoop();
}

bool CMorvexZ3U2Base::EndFrameThread(uint32_t first_wait_ms) {
  if (!frame_thread_) return true;
  if (first_wait_ms && frame_thread_->Join(first_wait_ms)) {
    frame_thread_.reset();
    return true;
  }
  for (int round = 0; round < kStopRounds; ++round) {
    if (controller_) controller_->AbortStream();
    if (frame_thread_->Join(kStopRoundMs)) {
      frame_thread_.reset();
      return true;
    }
  }
  return false;
}

int32_t CMorvexZ3U2Base::StopStream(int32_t wait) {
  std::lock_guard<std::recursive_mutex> lock(stream_control_lock_);
  if (sensor_) sensor_->StopAcquisitionWorker();
  if (running_.exchange(0)) {
    if (wait) {
      clock_.Sleep(100);
      if (controller_) controller_->AbortStream();
      // Bounded: a thread stuck in a transfer is aborted again below.
      thread_end_event_.Wait(kStopRoundMs);
    } else if (controller_) {
      // A stop that does not wait still ends the pending transfer: a header or
      // data read the camera never answers would hold the stop for seconds.
      controller_->AbortStream();
    }
  }
  EndFrameThread(wait ? kStopRoundMs : kThreadJoinMs);
  clock_.Sleep(1);
  thread_end_event_.Reset();
  frame_event_.Set();  // wakes a waiter; it finds no new frame

  ResetStream();
  clock_.Sleep(5);
  transfer_mode_.store(0);
  restart_pending_ = 1;
  counted_frames_.store(0);
  frame_rate_.store(0.0f);
  return 1;
}

int32_t CMorvexZ3U2Base::SetTransferMode(int32_t mode) {
  std::lock_guard<std::recursive_mutex> lock(stream_control_lock_);
  if (!controller_) return 0;
  if (mode != transfer_mode_.load()) {
    StopStream(0);
    if (mode == 2) {
      write_index_.store(read_index_.load());
      taken_.store(produced_.load());
    }
  }
  transfer_mode_.store(mode);
  return 1;
}

int32_t CMorvexZ3U2Base::ResetStream() {
  if (!controller_) return 0;
  if (product_id_ == product::kSecondaryEndpoint)
    controller_->ResetPort();
  else if (firmware_version() >= kFirmwareEndpointReset)
    controller_->ResetEndpoint(kEndpointBulkIn);
  controller_->RestartStream();
  return 1;
}

int32_t CMorvexZ3U2Base::StreamLoop() {
  if (!controller_ || !receive_buffer_) {
    FinishStreamLoop();
    return 0;
  }
  FrameRecord record{};
  record.buffer = receive_buffer_.get();
  record.capacity = receive_capacity_;
  failure_flag_.store(0);
  rate_window_start_ms_ = clock_.MultimediaTime();
  rate_window_frames_ = 0;
  if (!controller_->OpenStream()) {
    // Nobody would ever hear of a stream that cannot open: report it.
    failure_flag_.store(1);
    FinishStreamLoop();
    return 0;
  }

  // Set when the FIFO reset for the next header went out right after the
  // last frame's data.
  bool fifo_reset_sent = false;
  while (running_.load()) {
    int failures = 0;
    bool complete = false;
    uint32_t data_started = 0;
    while (running_.load()) {
      if (deferred_exposure_pending_.exchange(0) && sensor_)
        sensor_->SetExposureTime(deferred_exposure_value_.load());

      bool counter_lost = false;
      if (trigger_mode_.load() == 1) {
        // Wait for the trigger: the FPGA's frame counter moves. A counter
        // that cannot be read time after time (an unplugged camera) counts
        // as a failed read, or the wait would never end.
        bool triggered = false;
        int failed_polls = 0;
        while (running_.load()) {
          uint8_t counter = 0;
          if (controller_->ReadFpgaRegister(fpga_reg::kFrameCounter, &counter)) {
            failed_polls = 0;
            if (counter != static_cast<uint8_t>(last_frame_counter_.load())) {
              last_frame_counter_.store(counter);
              triggered = true;
              break;
            }
          } else if (++failed_polls >= kMaxFrameFailures) {
            counter_lost = true;
            break;
          }
          clock_.Sleep(1);
        }
        if (!triggered && !counter_lost) break;
      }

      bool header = false;
      if (!counter_lost) {
        header = fifo_reset_sent ? controller_->ReadFrameHeaderAfterReset(&record)
                                 : controller_->ReadFrameHeader(&record);
      }
      fifo_reset_sent = false;
      if (header) {
        const int32_t mode = transfer_mode_.load();
        if (mode == 3) {
          last_frame_counter_.store(record.frame_counter & 0xFF);
          FinishStreamLoop();
          return 1;
        }
        if (mode != 2) last_frame_counter_.store(record.frame_counter & 0xFF);
        data_started = clock_.MultimediaTime();
        if (controller_->ReadFrameData(&record, static_cast<uint32_t>(frame_timeout_ms_.load()))) {
          complete = true;
          break;
        }
      }
      controller_->CloseStream();
      // An abort from StopStream is not a camera failure.
      if (!running_.load()) break;
      if (++failures >= kMaxFrameFailures) {
        failure_flag_.store(1);
        frame_event_.Set();
        FinishStreamLoop();
        return 0;
      }
      if (sensor_) sensor_->PulseRestart();
      controller_->OpenStream();
    }
    if (!complete) break;

    failure_flag_.store(0);
    const int32_t mode = transfer_mode_.load();
    // Counted before the frame is announced, so a waiter sees the count.
    if (mode == 2) counted_frames_.fetch_add(1);
    // Streaming on: the FIFO is reset before the hand-over, so a frame that
    // ends while the ring is filled and the worker wakes waits in the FIFO
    // instead of being cleared by the next header read's reset.
    if (mode == 0 && trigger_mode_.load() != 1 && running_.load())
      fifo_reset_sent = controller_->ResetStreamFifo() != 0;
    DeliverFrame(record, data_started);
    if (mode == 1 || mode == 2) break;
  }
  FinishStreamLoop();
  return 1;
}

void CMorvexZ3U2Base::FinishStreamLoop() {
  if (controller_) controller_->CloseStream();
  thread_end_event_.Set();
  if (failure_flag_.load()) frame_event_.Set();
  running_.store(0);
}

void CMorvexZ3U2Base::UpdateRates(uint32_t data_started_ms) {
  const uint32_t now = clock_.MultimediaTime();
  const uint32_t elapsed_ms = std::max<uint32_t>(now - data_started_ms, 1);
  transfer_rate_.store(static_cast<double>(frame_byte_count_) / 1024.0 / 128.0 / (elapsed_ms / 1000.0));
  ++rate_window_frames_;
  const uint32_t window_ms = now - rate_window_start_ms_;
  if (window_ms >= 1000) {
    frame_rate_.store(static_cast<float>(rate_window_frames_ * 1000.0 / window_ms));
    rate_window_start_ms_ = now;
    rate_window_frames_ = 0;
  }
}

// The frame thread never fills the newest buffer (the application may be
// about to take it) nor the one the application is copying. Publishing the
// target before re-checking the pin makes the two sides agree without a lock.
int32_t CMorvexZ3U2Base::SelectFillTarget() {
  int32_t target = write_index_.load();
  if (target < 0 || target >= ring_size_) target = 0;
  for (;;) {
    for (int n = 0; n < ring_size_; ++n) {
      if (target != pinned_.load() && target != newest_.load()) break;
      target = (target + 1) % ring_size_;
    }
    filling_.store(target);
    if (pinned_.load() != target) return target;
    filling_.store(-1);
    target = (target + 1) % ring_size_;
  }
}

void CMorvexZ3U2Base::FillSlot(RingSlot& slot, const FrameRecord& record) {
  std::memcpy(slot.data.get(), receive_buffer_.get(), static_cast<size_t>(frame_byte_count_));
  slot.frame_counter = static_cast<int32_t>(record.frame_counter & 0xFF);
  slot.header_words[0] = LoadLe32(record.header + kHeaderWord28);
  slot.header_words[1] = LoadLe32(record.header + kHeaderWord32);
  slot.header_words[2] = LoadLe32(record.header + kHeaderWord40);
  slot.header_words[3] = LoadLe32(record.header + kHeaderWord44);
}

void CMorvexZ3U2Base::DeliverFrame(const FrameRecord& record, uint32_t data_started_ms) {
  UpdateRates(data_started_ms);
  const int32_t target = SelectFillTarget();
  RingSlot& slot = ring_[target];
  FillSlot(slot, record);
  slot.sequence = produced_.load() + 1;
  newest_.store(target);
  write_index_.store((target + 1) % ring_size_);
  filling_.store(-1);
  delivered_ns_.store(std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count());
  produced_.fetch_add(1);
  frame_event_.Set();
}

int32_t CMorvexZ3U2Base::CaptureOneFrame() {
  if (settings_dirty_) ApplySettings();
  if (!controller_ || !receive_buffer_) return 2;
  if (product_id_ == product::kSecondaryEndpoint) controller_->RestartStream();

  FrameRecord record{};
  record.buffer = receive_buffer_.get();
  record.capacity = receive_capacity_;
  controller_->OpenStream();
  const uint32_t start = clock_.TickCount();
  bool complete = false;
  for (int failed = 0; failed < kCaptureAttempts;) {
    if (controller_->ReadFrameHeader(&record) && controller_->ReadFrameData(&record, kCaptureDataWaitMs)) {
      complete = true;
      break;
    }
    ++failed;
    if (clock_.TickCount() - start > kCaptureTimeLimitMs) break;
  }
  if (complete) {
    // Buffer 0 may be the one a running stream would fill next: pin it.
    pinned_.store(0);
    RingSlot& slot = ring_[0];
    if (filling_.load() != 0 && slot.data) FillSlot(slot, record);
    pinned_.store(-1);
    failure_flag_.store(0);
  } else {
    failure_flag_.store(1);
  }
  controller_->CloseStream();
  thread_end_event_.Set();
  running_.store(0);
  return 0;
}

int32_t CMorvexZ3U2Base::SetFrameTimeout(int32_t milliseconds) {
  frame_timeout_ms_.store(milliseconds);
  return 1;
}

int32_t CMorvexZ3U2Base::WaitFrame(uint32_t milliseconds) {
  if (failure_flag_.load()) return 1;
  if (frame_event_.Wait(milliseconds) != platform::WaitResult::kSignaled) return 2;
  if (failure_flag_.load()) return 1;
  return produced_.load() > taken_.load() ? 3 : 2;
}

int32_t CMorvexZ3U2Base::ReadFrameCounter() {
  if (!controller_) return 0;
  uint8_t counter = 0;
  if (!controller_->ReadFpgaRegister(fpga_reg::kFrameCounter, &counter)) return 0;
  last_frame_counter_.store(counter);
  return 1;
}

}  // namespace morvex
