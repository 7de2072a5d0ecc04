// Acquisition modes: continuous preview with or without a window, preview
// that notifies a callback window and fills an application buffer,
// triggered frames, single frames on demand, and the copy of the current
// image. One worker thread per instance runs the preview or trigger loop.
#include <algorithm>
#include <cstring>

#include "camera/morvex.h"
#include "device/morvex_z3u2_base.h"
#include "imaging/convert.h"
#include "imaging/dib_image.h"

namespace morvex {

namespace {

constexpr int32_t kBitsPerColorMode[] = {8, 16, 24, 32, 48, 64};
constexpr uint32_t kPreviewFrameWaitMs = 3000;
constexpr uint32_t kTriggerFrameWaitMs = 60000;
constexpr int32_t kTriggerFrameTimeoutMs = 6000;
// A waiting worker looks at the run state at least this often, so a stop
// never waits out a frame or trigger time-out.
constexpr uint32_t kWaitSliceMs = 50;
// How long a stopping worker gets to end on its own.
constexpr uint32_t kStopGraceMs = 100;
constexpr uint32_t kRateIntervalMs = 1000;

}  // namespace

// --- Starting and stopping -------------------------------------------------------

void CMorvex::SetFrameTarget(platform::WindowHandle window, void* buffer, int32_t size, int32_t row_order) {
  callback_window_.store(window);
  {
    std::lock_guard<std::mutex> lock(frame_lock_);
    user_buffer_ = buffer;
    user_buffer_size_ = size;
    user_row_order_ = row_order;
  }
}

int32_t CMorvex::Preview() { return CallBackPreview(nullptr, nullptr, 0, 0); }

int32_t CMorvex::CallBackPreview(platform::WindowHandle window, void* buffer, int32_t size,
                                 int32_t row_order) {
  SetFrameTarget(window, buffer, size, row_order);
  if (!CreatePreviewWindow()) return 0;
  if (!StartPreview()) {
    Close();
    RecordError(kErrAcquisition);
    return 0;
  }
  return 1;
}

int32_t CMorvex::StartPreview() {
  if (!RequireDevice() || !RequireBuffers()) return 0;
  switch (mode_.load()) {
    case kPreviewMode:
      return 1;
    case kCaptureMode:
    case kTriggerMode:
      RecordError(kErrNotReady);
      return 0;
    default:
      break;
  }
  if (!Prepare()) return 0;
  if (!device_->StartStream(0)) {
    StopPreview();
    RecordError(kErrDeviceIo);
    return 0;
  }
  mode_.store(kPreviewMode);
  if (!StartWorker()) {
    StopPreview();
    RecordError(kErrThread);
    return 0;
  }
  return 1;
}

int32_t CMorvex::Trigger(platform::WindowHandle window, void* buffer, int32_t size, int32_t row_order) {
  if (!RequireDevice() || !RequireBuffers()) return 0;
  const int32_t mode = mode_.load();
  if (mode == kPreviewMode || mode == kCaptureMode) {
    RecordError(kErrNotReady);
    return 0;
  }
  if (mode == kTriggerMode) return 1;  // one trigger worker at a time
  SetFrameTarget(window, buffer, size, row_order);
  if (!CreatePreviewWindow()) return 0;
  if (!Prepare()) {
    Close();
    return 0;
  }
  mode_.store(kTriggerMode);
  single_frame_timeout_ms_ = kTriggerFrameTimeoutMs;
  device_->SetFrameTimeout(kTriggerFrameTimeoutMs);
  // Switching to trigger mode waits for a settle frame; the worker does it,
  // so the caller never blocks on a pulse that may not come.
  if (!StartWorker()) {
    Close();
    RecordError(kErrThread);
    return 0;
  }
  return 1;
}

int32_t CMorvex::StopPreview() {
  if (!RequireDevice()) return 0;
  run_state_.store(kStop);
  const int32_t mode = mode_.exchange(kIdle);
  // The trigger worker starts a counted transfer per frame: it ends (within
  // one wait slice) before the stream is stopped, so the two never overlap.
  if (mode == kTriggerMode) StopWorker();
  if (mode != kIdle) device_->StopStream(0);
  StopWorker();
  StopRecorder();
  return 1;
}

bool CMorvex::CreatePreviewWindow() {
  if (preview_placement_.none() || preview_->exists()) return true;
  int32_t width = 0, height = 0;
  format_.FrameSize(&width, &height);
  if (preview_->Create(this, preview_placement_, width, height)) return true;
  RecordError(kErrWindow);
  return false;
}

bool CMorvex::StartWorker() {
  StopWorker();
  frame_count_ = 0;
  rate_measured_at_ms_ = clock_.TickCount();
  frame_rate_ = 0;
  run_state_.store(kRun);
  worker_ = std::make_unique<platform::Thread>();
  const bool trigger = mode_.load() == kTriggerMode;
  if (!worker_->Start([this, trigger] { trigger ? TriggerLoop() : PreviewLoop(); })) {
    worker_.reset();
    run_state_.store(kStop);
    return false;
  }
  return true;
}

void CMorvex::StopWorker() {
  if (worker_ == nullptr) return;
  run_state_.store(kStop);
  // A worker may sit in a device wait that only a stopped stream ends: the
  // settle frame after the switch to trigger mode is awaited up to a minute.
  // The stop aborts the frame thread's pending transfer rather than waiting
  // out a header read that may never be answered.
  if (!worker_->Join(kStopGraceMs))
    while (!worker_->Join(kWaitSliceMs))
      if (device_ != nullptr) device_->StopStream(1);
  worker_.reset();
}

int32_t CMorvex::Capture() {
  if (!RequireDevice() || !RequireBuffers()) return 0;
  const int32_t mode = mode_.load();
  if (mode == kPreviewMode || mode == kTriggerMode) {
    RecordError(kErrNotReady);
    return 0;
  }
  if (mode == kCaptureMode) return 1;
  if (!Prepare()) return 0;
  mode_.store(kCaptureMode);
  return 1;
}

// --- Frames ------------------------------------------------------------------------

int32_t CMorvex::WaitForFrame(uint32_t timeout_ms) {
  uint32_t waited = 0;
  for (;;) {
    const uint32_t slice = std::min(kWaitSliceMs, timeout_ms - waited);
    const int32_t answer = device_->WaitFrame(slice);
    if (answer != 2) return answer;
    waited += slice;
    if (waited >= timeout_ms || run_state_.load() == kStop) return 2;
  }
}

bool CMorvex::TakeFrame() {
  imaging::CDibImage* raw = ImageSet().RawFor(format_.color_mode);
  if (raw == nullptr || raw->empty()) return false;
  // The copy is bounded by the image: a frame that does not fit fails.
  if (!device_->CopyFrame(raw->pixels(), static_cast<uint32_t>(raw->size_bytes()), nullptr, nullptr, nullptr,
                          nullptr, nullptr, 0, 1))
    return false;
  imaging::RespaceFrame(*raw);
  return true;
}

void CMorvex::FillFrameDescription(int32_t frame_rate) {
  const imaging::CDibImage* raw = ImageSet().RawFor(format_.color_mode);
  frame_description_.reserved = 0;
  frame_description_.width = raw != nullptr ? raw->width() : 0;
  frame_description_.height = raw != nullptr ? raw->height() : 0;
  frame_description_.bits_per_pixel = kBitsPerColorMode[format_.color_mode];
  frame_description_.frame_rate = frame_rate;
  frame_description_.user_buffer = user_buffer_;
}

void CMorvex::PostToCallback(uintptr_t wparam, intptr_t lparam) {
  const platform::WindowHandle window = callback_window();
  if (window != nullptr) platform::PostWindowMessage(window, kWmFrame, wparam, lparam);
}

bool CMorvex::CopyToUserBuffer(const imaging::CDibImage& image, void* buffer, int32_t size, int32_t row_order,
                               bool post_errors) {
  if (buffer == nullptr || image.empty() || size < 0 || image.size_bytes() > static_cast<size_t>(size)) {
    if (post_errors) PostToCallback(0, kErrBuffer);
    RecordError(kErrBuffer);
    return false;
  }
  auto* out = static_cast<uint8_t*>(buffer);
  const size_t stride = static_cast<size_t>(image.stride());
  const int32_t height = image.height();
  if (row_order != 0) {
    std::memcpy(out, image.pixels(), image.size_bytes());
  } else {
    for (int32_t y = 0; y < height; ++y)
      std::memcpy(out + static_cast<size_t>(y) * stride, image.row(height - 1 - y), stride);
  }
  return true;
}

void CMorvex::PreviewLoop() {
  while (run_state_.load() != kStop) {
    if (format_.wait_time_ms > 0) platform::PreciseSleep(clock_, static_cast<uint32_t>(format_.wait_time_ms));
    if (run_state_.load() != kRun) continue;
    const int32_t answer = WaitForFrame(kPreviewFrameWaitMs);
    if (answer == 1) {
      run_state_.store(kStop);
      PostToCallback(0, kErrStreamStopped);
      RecordError(kErrStreamStopped);
      break;
    }
    if (answer != 3 || run_state_.load() != kRun) continue;

    std::unique_lock<std::mutex> lock(frame_lock_);
    if (!TakeFrame()) {
      PostToCallback(0, kErrAcquisition);
      RecordError(kErrAcquisition);
      continue;
    }
    ++frame_count_;
    const uint32_t now = clock_.TickCount();
    const uint32_t elapsed = now - rate_measured_at_ms_;
    if (elapsed > kRateIntervalMs) {
      frame_rate_ = static_cast<int32_t>(static_cast<int64_t>(frame_count_) * 10000 / elapsed);
      frame_count_ = 0;
      rate_measured_at_ms_ = now;
    }
    FillFrameDescription(frame_rate_);
    ProcessFrame();
    NotifyRecorderOfFrame();
    image_held_.store(1);
    imaging::CDibImage* output = OutputImage();
    if (output != nullptr) preview_->Draw(*output);
    if (user_buffer_ != nullptr && user_buffer_size_ != 0 &&
        (output == nullptr ||
         !CopyToUserBuffer(*output, user_buffer_, user_buffer_size_, user_row_order_, true)))
      continue;
    lock.unlock();
    if (run_state_.load() == kRun) PostToCallback(reinterpret_cast<uintptr_t>(&frame_description_), 0);
  }
}

void CMorvex::TriggerLoop() {
  device_->SetTriggerMode(1, 0);
  int32_t exposure = 0;
  {
    std::lock_guard<std::mutex> lock(stored_.lock);
    exposure = stored_.analogue.exposure;
  }
  // The camera needs the exposure and a margin before the counter is read.
  for (uint32_t slept = 0, total = static_cast<uint32_t>(std::max(exposure, 0) / 10 + 100);
       slept < total && run_state_.load() != kStop; slept += kWaitSliceMs)
    platform::PreciseSleep(clock_, std::min(kWaitSliceMs, total - slept));
  device_->ReadFrameCounter();
  while (run_state_.load() != kStop) {
    if (run_state_.load() != kRun) {
      platform::PreciseSleep(clock_, 10);
      continue;
    }
    if (!device_->StartStream(2)) break;
    const int32_t answer = WaitForFrame(kTriggerFrameWaitMs);
    if (run_state_.load() == kStop) break;
    // A failed stream ends the worker as in preview; restarting it would
    // start a frame thread after another and never tell the application.
    if (answer == 1) {
      run_state_.store(kStop);
      PostToCallback(0, kErrStreamStopped);
      RecordError(kErrStreamStopped);
      break;
    }
    if (answer != 3) continue;

    std::unique_lock<std::mutex> lock(frame_lock_);
    TakeFrame();
    FillFrameDescription(0);
    ProcessFrame();
    image_held_.store(1);
    imaging::CDibImage* output = OutputImage();
    if (user_buffer_ != nullptr && user_buffer_size_ != 0 &&
        (output == nullptr ||
         !CopyToUserBuffer(*output, user_buffer_, user_buffer_size_, user_row_order_, true)))
      continue;
    PostToCallback(reinterpret_cast<uintptr_t>(&frame_description_), 0);
    if (output != nullptr) preview_->Draw(*output);
  }
}

void CMorvex::StopStreamUnlessCapturing() {
  if (mode_.load() != kCaptureMode) device_->StopStream(0);
}

int32_t CMorvex::SnapShot(void* buffer, int32_t size, int32_t row_order) {
  if (!RequireDevice() || !RequireBuffers()) return 0;
  const int32_t mode = mode_.load();
  if (mode == kPreviewMode || mode == kTriggerMode) {
    RecordError(kErrNotReady);
    return 0;
  }
  if (mode == kIdle && !Prepare()) return 0;

  std::unique_lock<std::mutex> lock(frame_lock_);
  bool taken = false;
  if (device_->StartStream(1) && device_->WaitFrame(static_cast<uint32_t>(single_frame_timeout_ms_)) == 3) {
    taken = TakeFrame();
    if (!taken) PostToCallback(0, kErrAcquisition);
  }
  if (!taken) {
    StopStreamUnlessCapturing();
    RecordError(kErrAcquisition);
    return 0;
  }
  ProcessFrame();
  imaging::CDibImage* output = OutputImage();
  if (buffer != nullptr && size != 0 &&
      (output == nullptr || !CopyToUserBuffer(*output, buffer, size, row_order, false))) {
    StopStreamUnlessCapturing();
    return 0;
  }
  lock.unlock();
  StopStreamUnlessCapturing();
  image_held_.store(1);
  return 1;
}

int32_t CMorvex::GetImage(void* buffer, int32_t size, int32_t row_order) {
  if (!RequireBuffers()) return 0;
  std::lock_guard<std::mutex> lock(frame_lock_);
  imaging::CDibImage* output = OutputImage();
  if (output == nullptr) {
    RecordError(kErrNotReady);
    return 0;
  }
  if (output->empty() || buffer == nullptr) {
    RecordError(kErrBuffer);
    return 0;
  }
  return CopyToUserBuffer(*output, buffer, size, row_order, false) ? 1 : 0;
}

}  // namespace morvex
