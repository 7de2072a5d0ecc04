// One emulated camera: FX3 firmware, FPGA and sensor, and the timing thread
// that produces its frames. Knows nothing of handles or control codes beyond
// the request block the firmware receives; the port adapter does the rest.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/async_io.h"
#include "emulator/emulator.h"
#include "emulator/geometry.h"
#include "emulator/registers.h"
#include "emulator/scene.h"
#include "emulator/sensor_model.h"
#include "emulator/thermal.h"
#include "platform/clock.h"
#include "platform/thread.h"

namespace morvex::emulator {

// A read from a bulk IN endpoint, waiting for stream data.
struct ReadRequest {
  std::shared_ptr<IoSlot> slot;
  const void* owner = nullptr;  // the handle it was issued on
  uint8_t* destination = nullptr;
  uint32_t size = 0;
  uint32_t counted_bytes = 0;  // bytes reported on top of the data (a buffered block's header)
  uint8_t endpoint = 0;
  bool swallowed = false;  // an injected fault: never completes by itself
};

struct ControlOutcome {
  bool ok = false;
  uint32_t error = platform::kErrorGenFailure;
  uint32_t data_bytes = 0;  // bytes of answer (IN) or accepted data (OUT)
};

class VirtualCamera : public EmulatedCamera {
 public:
  VirtualCamera(platform::Clock& clock, const EmulatedCameraOptions& options, int number);
  ~VirtualCamera() override;

  // EmulatedCamera
  std::string path() const override { return path_; }
  EmulatedCameraOptions options() const override;
  void SetPresent(bool present) override;
  bool present() const override;
  void SetFailHeaderReads(uint32_t count) override;
  void SetFailDataReads(uint32_t count) override;
  uint32_t pending_header_faults() const override;
  uint32_t pending_data_faults() const override;
  void SetScene(Scene scene) override;
  void SetTriggerInterval(uint32_t ms) override;
  void Trigger() override;
  uint8_t PeekFpgaRegister(uint8_t reg) const override;
  uint8_t PeekSensorRegister(uint16_t address) const override;
  uint8_t PeekEeprom(uint16_t address) const override;
  uint32_t frame_counter() const override;
  double sensor_temperature() const override;
  double frame_period_ms() const override;
  uint32_t ready_polls() const override;

  // Driver side.
  uint32_t generation() const;  // changes at every unplug
  // A control request block (header + 64-byte data area), answered in place.
  ControlOutcome Control(uint8_t* block);
  // Queues a bulk read; false (with *error) when it fails at once.
  bool SubmitRead(ReadRequest request, uint32_t* error);
  void AbortEndpoint(uint8_t endpoint, uint32_t error);
  void AbortOwner(const void* owner, uint32_t error);
  void ResetPort();
  void Stop();

 private:
  struct QueuedFrame {
    std::array<uint8_t, 64> header{};
    FrameGeometry geometry;
    ExposureState exposure;
    // Rendered image; may be longer than the frame (geometry.byte_count()
    // counts), as it is kept from frame to frame.
    std::vector<uint8_t> data;
    bool rendered = false;
    uint32_t header_sent = 0;
    uint32_t data_sent = 0;
    bool started() const { return header_sent > 0; }
  };

  // The FPGA's output FIFO: the frame being read and at most one waiting
  // (a newer frame replaces a waiting one). Its slots keep their image
  // buffers, so streaming allocates only when the frame grows.
  class FrameFifo {
   public:
    bool empty() const { return size_ == 0; }
    QueuedFrame& front() { return slots_[head_]; }
    const QueuedFrame& front() const { return slots_[head_]; }
    QueuedFrame& back() { return slots_[(head_ + size_ - 1) % kSlots]; }
    void pop_front() {
      head_ = (head_ + 1) % kSlots;
      --size_;
    }
    void pop_back() { --size_; }
    void clear() { size_ = 0; }
    // A cleared frame at the back; when full the oldest frame is lost.
    QueuedFrame& push_back() {
      if (size_ == kSlots) pop_front();
      QueuedFrame& frame = slots_[(head_ + size_) % kSlots];
      ++size_;
      frame.header.fill(0);
      frame.geometry = FrameGeometry{};
      frame.exposure = ExposureState{};
      frame.rendered = false;
      frame.header_sent = 0;
      frame.data_sent = 0;
      return frame;
    }

   private:
    static constexpr size_t kSlots = 2;
    std::array<QueuedFrame, kSlots> slots_;
    size_t head_ = 0;
    size_t size_ = 0;
  };

  // All below run with mu_ held.
  double NowMs() const;
  void PowerOn(double now_ms);
  double FramePeriodMsLocked() const;
  bool TriggerModeActive() const;
  bool TemperatureCopySupported() const;
  double TemperatureLocked(double now_ms) const;
  void AdvanceTime(double now_ms);
  // The geometry and exposure of a frame ending at `end_ms` with the
  // registers as they are; returns its exposure in lines.
  uint32_t FrameInputs(double end_ms, bool triggered, uint32_t index, FrameGeometry* g,
                       ExposureState* e) const;
  void CompleteFrame(double end_ms, bool triggered);
  // Renders the next free-running frame ahead (outside the lock); true when
  // it rendered.
  bool StageNextFrame(std::unique_lock<std::mutex>& lock);
  // A read is pending on the stream while no frame is part-way out.
  bool HeaderReadWaiting() const;
  void ServeReads();
  // Renders the image of the frame being read; the timing thread's job.
  bool RenderStartedFrame();
  // Takes a finished read off the queue; its list node is kept for the next
  // read. Returns the read after it.
  std::list<ReadRequest>::iterator RetireRead(std::list<ReadRequest>::iterator read);
  void FailAllReads(uint32_t error);
  void RestartTiming(double now_ms);
  void FifoReset();
  uint8_t ReadFpga(uint8_t reg);
  void WriteFpga(uint8_t reg, uint8_t value);
  uint8_t ReadSensor(uint16_t address);
  void WriteSensor(uint16_t address, uint8_t value);
  ControlOutcome WriteCommand(uint16_t code, const uint8_t* data, uint32_t count);
  ControlOutcome ReadCommand(uint16_t code, uint8_t* data, uint32_t count);
  void FillInfoBlock(uint8_t* data);
  void FillInfoBlock2(uint8_t* data);
  void InitEeprom();
  void Run();

  platform::Clock& clock_;
  const int number_;
  const SensorModel model_;
  const std::string path_;

  mutable std::mutex mu_;
  std::condition_variable wake_;
  EmulatedCameraOptions options_;
  uint32_t generation_ = 0;

  FpgaRegisters fpga_;
  SensorRegisters sensor_;
  std::vector<uint8_t> eeprom_;
  std::array<uint8_t, 256> aux_{};
  std::map<uint32_t, uint32_t> registers32_;
  uint8_t fpga_address_ = 0;
  uint8_t aux_address_ = 0;
  uint16_t eeprom_address_ = 0;
  uint16_t sensor_address_ = 0;
  uint8_t byte3c_ = 0;
  uint16_t word_pair_[2] = {0, 0};
  uint32_t busy_reads_ = 0;
  uint32_t ready_polls_ = 0;
  ThermalModel thermal_;

  mutable uint32_t last_tick_ = 0;
  mutable double elapsed_ms_ = 0;
  double power_on_ms_ = 0;

  FrameFifo fifo_;
  // The next free-running frame, rendered ahead from the inputs it will
  // have if nothing changes before it ends; used only when they match.
  struct StagedFrame {
    FrameGeometry geometry;
    ExposureState exposure;
    std::vector<uint8_t> data;
    bool ready = false;
    bool busy = false;  // being rendered outside the lock
    bool Matches(const FrameGeometry& g, const ExposureState& e) const;
  };
  StagedFrame staged_;
  std::list<ReadRequest> reads_;
  std::list<ReadRequest> spare_reads_;  // nodes of finished reads, for reuse
  uint32_t frame_counter_ = 0;
  double next_frame_end_ms_ = 0;
  bool trigger_mode_ = false;
  bool standby_ = false;
  double trigger_frame_end_ms_ = -1;
  double next_pulse_ms_ = -1;
  uint32_t manual_pulses_ = 0;
  uint32_t seed_;

  bool stopping_ = false;
  platform::Thread thread_;
};

}  // namespace morvex::emulator
