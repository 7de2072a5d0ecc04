// Frame timing and the endpoint 0x81 stream: frames end on the camera's own
// clock, enter the FPGA's output FIFO as a 64-byte header and the image
// bytes, and complete the bulk reads waiting for them. The image is
// rendered on the camera's timing thread, never on a reader's.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <iterator>

#include "emulator/camera.h"
#include "emulator/wire.h"

namespace morvex::emulator {
namespace {

// The timing thread also looks at the clock at least this often, so an
// injected clock that moves without it still drives frames.
constexpr double kMaxIdleMs = 20.0;

}  // namespace

void VirtualCamera::RestartTiming(double now_ms) {
  next_frame_end_ms_ = now_ms + FramePeriodMsLocked();
  trigger_frame_end_ms_ = -1;
}

void VirtualCamera::FifoReset() {
  if (trigger_mode_) {
    // Frames that a trigger produced stay until read: the host polls the
    // frame counter first and resets the FIFO only then.
    while (!fifo_.empty() && fifo_.front().started()) fifo_.pop_front();
  } else {
    fifo_.clear();
  }
}

void VirtualCamera::AdvanceTime(double now) {
  if (!options_.present || stopping_) return;
  const bool triggered = TriggerModeActive();
  if (triggered != trigger_mode_) {
    trigger_mode_ = triggered;
    fifo_.clear();
    RestartTiming(now);
    next_pulse_ms_ = options_.trigger_interval_ms ? now + options_.trigger_interval_ms : -1;
    manual_pulses_ = 0;
  }
  if (sensor_.standby()) {
    // No readout in standby; the first frame after it takes a whole period.
    standby_ = true;
    RestartTiming(now);
    return;
  }
  standby_ = false;
  const double period = FramePeriodMsLocked();
  if (!trigger_mode_) {
    if (now >= next_frame_end_ms_) {
      // Frames missed while nobody looked still count.
      double missed = std::floor((now - next_frame_end_ms_) / period);
      if (missed >= 1 && fifo_.empty() && HeaderReadWaiting()) {
        // A reader was waiting when the first of them ended and would have
        // started on it then; this thread's own lateness must not lose it.
        CompleteFrame(next_frame_end_ms_, false);
        ServeReads();
        missed -= 1;
        next_frame_end_ms_ += period;
      }
      const double end = next_frame_end_ms_ + missed * period;
      frame_counter_ += static_cast<uint32_t>(missed);
      CompleteFrame(end, false);
      next_frame_end_ms_ = end + period;
    }
    return;
  }
  // Trigger mode: a pulse starts a frame that ends one period later; a
  // pulse while a frame is in progress is lost, as on the sensor.
  auto pulse = [&](double at) {
    if (trigger_frame_end_ms_ >= 0 && at >= trigger_frame_end_ms_) {
      CompleteFrame(trigger_frame_end_ms_, true);
      trigger_frame_end_ms_ = -1;
    }
    if (trigger_frame_end_ms_ < 0) trigger_frame_end_ms_ = at + period;
  };
  if (options_.trigger_interval_ms) {
    if (next_pulse_ms_ < 0) next_pulse_ms_ = now + options_.trigger_interval_ms;
    for (; next_pulse_ms_ <= now; next_pulse_ms_ += options_.trigger_interval_ms) pulse(next_pulse_ms_);
  }
  if (manual_pulses_ > 0) {
    manual_pulses_ = 0;
    pulse(now);
  }
  if (trigger_frame_end_ms_ >= 0 && now >= trigger_frame_end_ms_) {
    CompleteFrame(trigger_frame_end_ms_, true);
    trigger_frame_end_ms_ = -1;
  }
}

bool VirtualCamera::HeaderReadWaiting() const {
  for (const ReadRequest& r : reads_)
    if (!r.swallowed && r.endpoint == wire::kEndpointIn && !r.slot->Abandoned()) return true;
  return false;
}

uint32_t VirtualCamera::FrameInputs(double end_ms, bool triggered, uint32_t index, FrameGeometry* g,
                                    ExposureState* e) const {
  *g = ComputeGeometry(model_, sensor_, fpga_, options_.fpga_version);
  const double line_us = LinePeriodUs(model_, options_.fpga_version, sensor_.line_length());
  uint32_t exposure_lines = sensor_.exposure_lines();
  if (triggered) {
    const uint32_t programmed =
        fpga_.Get24(fpga::kTriggerExposureLow, fpga::kTriggerExposureMid, fpga::kTriggerExposureHigh);
    if (programmed) exposure_lines = programmed;
  }
  e->scene = options_.scene;
  e->time_s = end_ms / 1000.0;
  e->exposure_ms = exposure_lines * line_us / 1000.0;
  e->gain_code = sensor_.gain_code();
  e->black_level = sensor_.black_level();
  e->temperature_c = TemperatureLocked(end_ms);
  e->frame_index = index;
  e->seed = seed_;
  return exposure_lines;
}

bool VirtualCamera::StagedFrame::Matches(const FrameGeometry& g, const ExposureState& e) const {
  const FrameGeometry& s = geometry;
  const ExposureState& x = exposure;
  return ready && !busy && s.mode == g.mode && s.first_column == g.first_column &&
         s.first_line == g.first_line && s.window_width == g.window_width &&
         s.window_height == g.window_height && s.margin_columns == g.margin_columns &&
         s.margin_lines == g.margin_lines && s.mirror_h == g.mirror_h && s.mirror_v == g.mirror_v &&
         s.lines == g.lines && s.line_bytes == g.line_bytes && s.bytes_per_sample == g.bytes_per_sample &&
         s.samples_per_line == g.samples_per_line && s.vertical_offset == g.vertical_offset &&
         s.horizontal_offset == g.horizontal_offset && x.scene == e.scene && x.time_s == e.time_s &&
         x.exposure_ms == e.exposure_ms && x.gain_code == e.gain_code && x.black_level == e.black_level &&
         x.temperature_c == e.temperature_c && x.frame_index == e.frame_index && x.seed == e.seed;
}

void VirtualCamera::CompleteFrame(double end_ms, bool triggered) {
  ++frame_counter_;
  // The FIFO holds one frame besides the one being read; a newer frame
  // replaces a waiting older one.
  while (!fifo_.empty() && !fifo_.back().started()) fifo_.pop_back();
  QueuedFrame& frame = fifo_.push_back();
  const uint32_t exposure_lines =
      FrameInputs(end_ms, triggered, frame_counter_, &frame.geometry, &frame.exposure);
  const FrameGeometry& g = frame.geometry;
  const ExposureState& e = frame.exposure;
  if (!triggered && staged_.Matches(g, e)) {
    // Rendered ahead from these very inputs: the buffers change places.
    frame.data.swap(staged_.data);
    frame.rendered = true;
    staged_.ready = false;
  }

  uint8_t* h = frame.header.data();
  namespace fh = wire::frame_header;
  const uint64_t stamp_us = static_cast<uint64_t>(std::llround((end_ms - power_on_ms_) * 1000.0));
  wire::Put32(h + fh::kMagicOffset, fh::kMagic);
  wire::Put32(h + fh::kSamplesPerLine, static_cast<uint32_t>(g.samples_per_line));
  wire::Put32(h + fh::kLines, static_cast<uint32_t>(g.lines));
  wire::Put32(h + fh::kBytesPerSample, static_cast<uint32_t>(g.bytes_per_sample));
  wire::Put32(h + fh::kByteCount, g.byte_count());
  wire::Put32(h + fh::kLineBytes, static_cast<uint32_t>(g.line_bytes));
  wire::Put32(h + fh::kModelCode, model_.model_code);
  wire::Put32(h + fh::kTimestampLow, static_cast<uint32_t>(stamp_us));
  wire::Put32(h + fh::kFrameCounter, frame_counter_);
  wire::Put32(h + fh::kFlags,
              (triggered ? fh::kFlagTriggered : 0u) | (thermal_.cooler_on() ? fh::kFlagCoolerOn : 0u));
  wire::Put32(h + fh::kExposureLines, exposure_lines);
  wire::Put32(h + fh::kTimestampHigh, static_cast<uint32_t>(stamp_us >> 32));
  wire::Put32(h + fh::kFrameLengthLines, sensor_.frame_length());
  wire::Put32(h + fh::kTemperatureRaw, TemperatureRaw(e.temperature_c));
}

void VirtualCamera::ServeReads() {
  for (auto it = reads_.begin(); it != reads_.end();) {
    ReadRequest& r = *it;
    if (r.slot->Abandoned()) {
      // Its OVERLAPPED is gone; the data stays for the next reader.
      r.slot->Complete({false, platform::kErrorOperationAborted, 0});
      it = RetireRead(it);
      continue;
    }
    if (r.swallowed) {
      ++it;
      continue;
    }
    if (r.size == 0) {
      r.slot->Complete({true, platform::kErrorSuccess, r.counted_bytes});
      it = RetireRead(it);
      continue;
    }
    if (fifo_.empty()) break;
    QueuedFrame& f = fifo_.front();
    const uint32_t frame_bytes = f.geometry.byte_count();
    const uint8_t* source;
    uint32_t count;
    if (f.header_sent < wire::frame_header::kSize) {
      // The header is its own transfer: a read never runs on into the image.
      count = std::min(r.size, wire::frame_header::kSize - f.header_sent);
      source = f.header.data() + f.header_sent;
      f.header_sent += count;
    } else {
      if (!f.rendered) {
        // The camera's own thread renders it; the read waits as on the bus.
        wake_.notify_all();
        break;
      }
      count = std::min<uint32_t>(r.size, frame_bytes - f.data_sent);
      source = f.data.data() + f.data_sent;
      f.data_sent += count;
    }
    uint8_t* destination = r.destination;
    r.slot->Complete({true, platform::kErrorSuccess, r.counted_bytes + count},
                     [&] { std::memcpy(destination, source, count); });
    it = RetireRead(it);
    if (f.header_sent >= wire::frame_header::kSize && f.data_sent >= frame_bytes) fifo_.pop_front();
  }
}

bool VirtualCamera::RenderStartedFrame() {
  if (fifo_.empty()) return false;
  QueuedFrame& f = fifo_.front();
  if (!f.started() || f.rendered) return false;
  // The buffer only grows: a frame of the same size reuses it.
  const uint32_t frame_bytes = f.geometry.byte_count();
  if (f.data.size() < frame_bytes) f.data.resize(frame_bytes);
  RenderFrame(model_, f.geometry, f.exposure, f.data.data());
  f.rendered = true;
  return true;
}

bool VirtualCamera::StageNextFrame(std::unique_lock<std::mutex>& lock) {
  if (!options_.present || standby_ || trigger_mode_ || staged_.busy) return false;
  // Only while a reader streams: an idle camera's frames cost nothing.
  if (!HeaderReadWaiting() && (fifo_.empty() || !fifo_.front().started())) return false;
  FrameGeometry g;
  ExposureState e;
  FrameInputs(next_frame_end_ms_, false, frame_counter_ + 1, &g, &e);
  if (staged_.Matches(g, e)) return false;
  // The buffer only grows, as the FIFO's do.
  if (staged_.data.size() < g.byte_count()) staged_.data.resize(g.byte_count());
  staged_.busy = true;
  staged_.ready = false;
  lock.unlock();
  RenderFrame(model_, g, e, staged_.data.data());
  lock.lock();
  staged_.geometry = g;
  staged_.exposure = e;
  staged_.busy = false;
  staged_.ready = true;
  return true;
}

std::list<ReadRequest>::iterator VirtualCamera::RetireRead(std::list<ReadRequest>::iterator read) {
  const auto next = std::next(read);
  read->slot.reset();
  spare_reads_.splice(spare_reads_.end(), reads_, read);
  return next;
}

bool VirtualCamera::SubmitRead(ReadRequest request, uint32_t* error) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!options_.present) {
    *error = platform::kErrorDeviceNotConnected;
    return false;
  }
  if (request.endpoint != wire::kEndpointIn) {
    // This model has no second input stream.
    *error = platform::kErrorGenFailure;
    return false;
  }
  AdvanceTime(NowMs());
  // A read that starts while no frame is part-way out is a header read.
  bool mid_frame = !fifo_.empty() && fifo_.front().started();
  for (const ReadRequest& r : reads_)
    if (!r.swallowed && r.endpoint == request.endpoint && !r.slot->Abandoned()) mid_frame = true;
  uint32_t& faults = mid_frame ? options_.fail_data_reads : options_.fail_header_reads;
  if (faults > 0) {
    --faults;
    request.swallowed = true;
  }
  if (spare_reads_.empty()) {
    reads_.push_back(std::move(request));
  } else {
    reads_.splice(reads_.end(), spare_reads_, spare_reads_.begin());
    reads_.back() = std::move(request);
  }
  ServeReads();
  wake_.notify_all();
  return true;
}

void VirtualCamera::FailAllReads(uint32_t error) {
  while (!reads_.empty()) {
    reads_.front().slot->Complete({false, error, 0});
    RetireRead(reads_.begin());
  }
}

void VirtualCamera::AbortEndpoint(uint8_t endpoint, uint32_t error) {
  std::lock_guard<std::mutex> lock(mu_);
  for (auto it = reads_.begin(); it != reads_.end();) {
    if (it->endpoint == endpoint) {
      it->slot->Complete({false, error, 0});
      it = RetireRead(it);
    } else {
      ++it;
    }
  }
}

void VirtualCamera::AbortOwner(const void* owner, uint32_t error) {
  std::lock_guard<std::mutex> lock(mu_);
  for (auto it = reads_.begin(); it != reads_.end();) {
    if (it->owner == owner) {
      it->slot->Complete({false, error, 0});
      it = RetireRead(it);
    } else {
      ++it;
    }
  }
}

void VirtualCamera::ResetPort() {
  std::lock_guard<std::mutex> lock(mu_);
  FailAllReads(platform::kErrorOperationAborted);
  fifo_.clear();
}

void VirtualCamera::Run() {
  platform::ScopedTimerResolution resolution(clock_);
  std::unique_lock<std::mutex> lock(mu_);
  while (!stopping_) {
    const double now = NowMs();
    AdvanceTime(now);
    ServeReads();
    // Only a frame whose header went out is rendered: an idle camera's
    // frames cost nothing.
    if (RenderStartedFrame()) ServeReads();
    // The next frame is rendered during its exposure, so that its data is
    // ready when it ends, as the sensor's readout is.
    if (StageNextFrame(lock)) continue;
    double next = now + kMaxIdleMs;
    if (options_.present && !standby_) {
      if (!trigger_mode_) {
        next = std::min(next, next_frame_end_ms_);
      } else {
        if (trigger_frame_end_ms_ >= 0) next = std::min(next, trigger_frame_end_ms_);
        if (next_pulse_ms_ >= 0) next = std::min(next, next_pulse_ms_);
        if (manual_pulses_ > 0) next = now;
      }
    }
    const double wait_ms = std::clamp(std::ceil(next - now), 1.0, kMaxIdleMs);
    wake_.wait_for(lock, std::chrono::milliseconds(static_cast<int>(wait_ms)));
  }
}

}  // namespace morvex::emulator
