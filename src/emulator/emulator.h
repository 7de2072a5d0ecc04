// The built-in camera emulator: virtual cameras behind the driver port.
//
// Each emulated camera is a complete device as the transport sees it: FX3
// firmware (vendor requests, information blocks, ready flag, EEPROM), FPGA
// (byte registers, window and start offsets, frame counter, trigger engine,
// cooler, temperature copy) and an IMX99x sensor (its register file, window,
// binning, mirrors, frame timing, exposure, gain, temperature), producing
// frames on its own clock.
//
// Frame header (64 bytes before every frame on endpoint 0x81), the words the
// library stores per frame:
//   word 16  image bytes that follow = window lines x FPGA line width
//   word 28  frame timestamp in microseconds since the camera was plugged in,
//            low 32 bits (the instant the frame's readout ended)
//   word 32  frame counter, the same count FPGA register 8 shows (low byte)
//   word 40  exposure of the frame in sensor lines (frame length minus
//            shutter start; in trigger mode the FPGA's trigger exposure when
//            it is programmed)
//   word 44  frame timestamp, high 32 bits
// The full layout is in emulator/wire.h.
//
// Configuration: ConfiguredPort() builds the cameras described under
// HKEY_CURRENT_USER "Software\Quisto\MorvexEmulator" (natively: the same key
// of the file-backed store). Tests build cameras directly with EmulatorPort.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/driver_port.h"

namespace morvex::emulator {

// The registry key and value names read by ConfiguredPort().
constexpr const char kConfigKey[] = "Software\\Quisto\\MorvexEmulator";
// The key ConfiguredPort() reads: kConfigKey in the process's test namespace.
std::string ConfigKey();

enum class Scene : uint32_t {
  kNatural = 0,  // a slowly moving SWIR scene with noise and defects
  kRamp = 1,     // 12-bit value (x + 4y) mod 4096 at upright column x, row y
};

struct EmulatedCameraOptions {
  uint16_t product_id = 0x3290;
  uint16_t vendor_id = 0x04B4;
  std::string serial;  // empty: "MVX%05u" with the camera's number
  uint16_t firmware_version = 0x1101;
  uint8_t ready_line = 1;
  uint32_t ready_after_polls = 0;  // 0xFFFFFFFF: never ready
  uint16_t fpga_version = 0x8125;
  uint8_t fpga_options = 0;
  Scene scene = Scene::kNatural;
  uint32_t trigger_interval_ms = 0;  // external trigger pulses in trigger mode; 0: none
  bool present = true;
  uint32_t fail_header_reads = 0;
  uint32_t fail_data_reads = 0;
  std::string instance;  // device-path instance part; empty: "mvxemu&<number>"
};

// Test and configuration access to one emulated camera. Thread-safe.
class EmulatedCamera {
 public:
  virtual ~EmulatedCamera() = default;

  virtual std::string path() const = 0;
  virtual EmulatedCameraOptions options() const = 0;

  // Unplugging fails every pending and later transfer and hides the path;
  // plugging in again powers the camera up afresh under the same path (the
  // EEPROM keeps its contents).
  virtual void SetPresent(bool present) = 0;
  virtual bool present() const = 0;
  // The next `count` frame-header (frame-data) reads never complete: the
  // caller's wait times out and its abort fails them.
  virtual void SetFailHeaderReads(uint32_t count) = 0;
  virtual void SetFailDataReads(uint32_t count) = 0;
  virtual uint32_t pending_header_faults() const = 0;
  virtual uint32_t pending_data_faults() const = 0;
  virtual void SetScene(Scene scene) = 0;
  virtual void SetTriggerInterval(uint32_t ms) = 0;
  // One external trigger pulse now (ignored unless the camera is in trigger mode).
  virtual void Trigger() = 0;

  // Direct looks at the device state, for tests.
  virtual uint8_t PeekFpgaRegister(uint8_t reg) const = 0;
  virtual uint8_t PeekSensorRegister(uint16_t address) const = 0;
  virtual uint8_t PeekEeprom(uint16_t address) const = 0;
  virtual uint32_t frame_counter() const = 0;
  virtual double sensor_temperature() const = 0;  // degrees Celsius, now
  virtual double frame_period_ms() const = 0;     // as the registers program it now
  virtual uint32_t ready_polls() const = 0;       // 0xC3 requests answered since power-up
};

// A set of emulated cameras behind the driver port. Cameras can be added at
// any time; they live as long as the port.
class EmulatorPort : public platform::DriverPort {
 public:
  explicit EmulatorPort(platform::Clock& clock = platform::SystemClock());
  ~EmulatorPort() override;
  EmulatorPort(const EmulatorPort&) = delete;
  EmulatorPort& operator=(const EmulatorPort&) = delete;

  EmulatedCamera& AddCamera(const EmulatedCameraOptions& options = {});
  size_t camera_count() const;
  EmulatedCamera& camera(size_t index);

  std::vector<std::string> EnumerateInterfaces(const platform::Guid& interface_class) override;
  Handle Open(const std::string& path, bool overlapped) override;
  void Close(Handle handle) override;
  std::unique_ptr<platform::AsyncIo> CreateAsyncIo() override;
  platform::IoResult IoControl(Handle handle, uint32_t code, const void* in, uint32_t in_size, void* out,
                               uint32_t out_size, platform::AsyncIo* io) override;
  platform::IoResult GetResult(Handle handle, platform::AsyncIo& io, bool wait) override;

  // Stops every camera's timing thread; the port stays usable but no frame
  // comes any more. Process shutdown uses it.
  void Shutdown();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The interface class the cameras' driver registers.
constexpr platform::Guid kCameraInterfaceClass = {
    0x328184C5, 0x93E6, 0x49B7, {0x94, 0xB8, 0x2A, 0xDA, 0x13, 0xAA, 0xBB, 0x39}};

// The process-wide port of the cameras configured in the registry, created
// on the first call that finds a configuration; nullptr while there is no key
// or `Cameras` is 0. `Present`, `FailHeaderReads` and `FailDataReads` are
// re-read every 50 ms while the port lives; a fault count is armed when its
// value changes and is written back as it is used up.
std::shared_ptr<platform::DriverPort> ConfiguredPort();

}  // namespace morvex::emulator
