// Recording live frames into an AVI file. The record thread is woken by the
// worker after each processed frame, converts it to a 24-bit bottom-up frame
// under the frame lock and writes it outside the lock, so the worker waits
// only for the conversion. Every way a recording ends finalises the file.
#include <cstdio>

#include "camera/morvex.h"
#include "files/avi_writer.h"
#include "imaging/convert.h"
#include "imaging/dib_image.h"
#include "platform/text.h"

namespace morvex {

namespace {

// The record thread looks at the worker this often while no frame comes,
// so a stream that has failed ends the recording.
constexpr uint32_t kFrameWaitMs = 50;

}  // namespace

struct CMorvex::Recorder {
  files::CAviWriter writer;
  platform::Event new_frame{false, false};
  std::atomic<bool> running{false};
  std::unique_ptr<platform::Thread> thread;
  uint32_t duration_ms = 0;
  // Frames the worker has announced; under the frame lock.
  uint32_t sequence = 0;
  std::atomic<uint32_t> recorded{0}, missed{0};
  // The working images: 24-bit frame, 24-bit spare, 8-bit grey.
  imaging::CDibImage frame, spare, grey;

  void Run(CMorvex& camera);
  // Converts the output image into the frame written; the caller holds the
  // frame lock. Null when the depth has no conversion.
  const imaging::CDibImage* Convert(const imaging::CDibImage& output);
};

const imaging::CDibImage* CMorvex::Recorder::Convert(const imaging::CDibImage& output) {
  // The 8-bit views take the top 8 of the significant bits, as display and JPEG do.
  const int32_t significant = output.significant_bits();
  switch (output.bits_per_pixel()) {
    case 8:
      if (!spare.Blit(output, 0, 0)) return nullptr;
      frame.Apply(&imaging::Copy24Flipped, spare, nullptr, 0, 0, 0, nullptr);
      return &frame;
    case 16:
      grey.Apply(&imaging::View16To8Flipped, output, nullptr, 0, 0, significant, nullptr);
      return frame.Blit(grey, 0, 0) ? &frame : nullptr;
    case 24:
    case 32:
      frame.Apply(&imaging::Copy24Flipped, output, nullptr, 0, 0, 0, nullptr);
      return &frame;
    case 48:
    case 64:
      spare.Apply(&imaging::View48To24Flipped, output, nullptr, 0, 0, significant, nullptr);
      return &spare;
    default:
      return nullptr;
  }
}

void CMorvex::Recorder::Run(CMorvex& camera) {
  bool first = true, write_failed = false;
  uint32_t end_ms = 0, last_sequence = 0;
  recorded.store(0);
  missed.store(0);
  while (running.load()) {
    if (new_frame.Wait(kFrameWaitMs) != platform::WaitResult::kSignaled) {
      // The worker has ended (a failed stream, or a stop on its way).
      if (camera.run_state_.load() == kStop) break;
      continue;
    }
    if (!running.load()) break;
    const uint32_t now = camera.clock_.MultimediaTime();
    const imaging::CDibImage* converted = nullptr;
    uint32_t sequence_now = 0;
    {
      std::lock_guard<std::mutex> lock(camera.frame_lock_);
      sequence_now = sequence;
      const imaging::CDibImage* output = camera.OutputImage();
      if (output != nullptr && !output->empty()) converted = Convert(*output);
    }
    if (converted == nullptr) continue;
    if (first) {
      end_ms = now + duration_ms;
      first = false;
    } else {
      missed += sequence_now - last_sequence - 1;  // frames the thread was too busy for
    }
    last_sequence = sequence_now;
    if (!writer.AddFrame(*converted, now)) {
      write_failed = true;
      break;
    }
    ++recorded;
    // The end test follows the writing: duration 0 records two frames.
    if (static_cast<int32_t>(now - end_ms) > 0) break;
  }
  running.store(false);
  writer.Close();
  char trace[160];
  std::snprintf(trace, sizeof trace, "Morvex: recording ended: %u frames recorded, %u frames not recorded\n",
                recorded.load(), missed.load());
  platform::DebugOutput(trace);
  if (write_failed) camera.RecordError(kErrFile);
}

bool CMorvex::recording() const { return recorder_ != nullptr && recorder_->running.load(); }

void CMorvex::recording_counts(uint32_t* recorded, uint32_t* missed) const {
  *recorded = recorder_ != nullptr ? recorder_->recorded.load() : 0;
  *missed = recorder_ != nullptr ? recorder_->missed.load() : 0;
}

int32_t CMorvex::Record(const char* path, int32_t duration_ms, int32_t show_preview) {
  if (!RequireDevice()) return 0;
  if (path == nullptr || path[0] == '\0') {
    RecordError(kErrArgument);
    return 0;
  }
  // A recording still running is finalised before the next one begins.
  StopRecorder();
  if (recorder_ == nullptr) {
    auto recorder = std::make_shared<Recorder>();
    std::lock_guard<std::mutex> lock(frame_lock_);
    recorder_ = recorder;
  }
  // Frames are not copied to the application while recording.
  SetFrameTarget(nullptr, nullptr, 0, 0);
  if (show_preview != 0 && !CreatePreviewWindow()) return 0;
  if (!StartPreview()) {
    preview_->Destroy();
    RecordError(kErrFile);
    return 0;
  }

  Recorder& recorder = *recorder_;
  {
    std::lock_guard<std::mutex> lock(frame_lock_);
    const imaging::CDibImage* output = OutputImage();
    if (output != nullptr)
      recorder.writer.SetFormat(output->width(), output->height(), output->bits_per_pixel());
    else
      recorder.writer.SetFormat(0, 0, 0);
  }
  if (!recorder.writer.Open(path)) {
    StopPreview();
    preview_->Destroy();
    RecordError(kErrFile);
    return 0;
  }
  {
    std::lock_guard<std::mutex> lock(frame_lock_);
    const imaging::CDibImage* output = OutputImage();
    const bool made = output != nullptr && recorder.frame.Create(output->width(), output->height(), 24) &&
                      recorder.spare.Create(output->width(), output->height(), 24) &&
                      recorder.grey.Create(output->width(), output->height(), 8);
    if (!made) {
      recorder.writer.Close();
      RecordError(kErrBuffer);
      return 0;
    }
  }
  recorder.duration_ms = static_cast<uint32_t>(duration_ms < 0 ? 0 : duration_ms);
  recorder.new_frame.Reset();
  recorder.running.store(true);
  recorder.thread = std::make_unique<platform::Thread>();
  if (!recorder.new_frame.valid() || !recorder.thread->Start([this, &recorder] { recorder.Run(*this); })) {
    recorder.running.store(false);
    recorder.thread.reset();
    recorder.writer.Close();
    RecordError(kErrThread);
    return 0;
  }
  return 1;
}

void CMorvex::NotifyRecorderOfFrame() {
  if (recorder_ == nullptr || !recorder_->running.load()) return;
  ++recorder_->sequence;
  recorder_->new_frame.Set();
}

void CMorvex::StopRecorder() {
  if (recorder_ == nullptr || recorder_->thread == nullptr) return;
  recorder_->running.store(false);
  recorder_->new_frame.Set();
  recorder_->thread->Join();
  recorder_->thread.reset();
}

}  // namespace morvex
