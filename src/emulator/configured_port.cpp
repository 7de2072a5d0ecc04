// The cameras configured in the per-user settings store, and the watcher
// that applies run-time changes to them.
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "emulator/emulator.h"
#include "platform/host_module.h"
#include "platform/settings_store.h"
#include "platform/test_namespace.h"
#include "platform/thread.h"

namespace morvex::emulator {

std::string ConfigKey() { return platform::InTestNamespace(kConfigKey); }

namespace {

constexpr uint32_t kMaxCameras = 8;
constexpr uint32_t kWatchIntervalMs = 50;

std::string CameraKeyPath(uint32_t index) {
  char name[16];
  std::snprintf(name, sizeof name, "Camera_%02u", static_cast<unsigned>(index));
  return ConfigKey() + "\\" + name;
}

uint32_t Dword(const platform::SettingsKey& key, const char* name, uint32_t fallback) {
  uint32_t value = 0;
  return key.is_open() && key.QueryDword(name, &value) ? value : fallback;
}

EmulatedCameraOptions ReadOptions(uint32_t index) {
  EmulatedCameraOptions o;
  platform::SettingsKey key;
  if (!key.Open(CameraKeyPath(index))) return o;
  o.product_id = static_cast<uint16_t>(Dword(key, "ProductId", o.product_id));
  o.vendor_id = static_cast<uint16_t>(Dword(key, "VendorId", o.vendor_id));
  std::string serial;
  if (key.QueryString("Serial", &serial)) o.serial = serial;
  o.firmware_version = static_cast<uint16_t>(Dword(key, "FirmwareVersion", o.firmware_version));
  o.ready_line = static_cast<uint8_t>(Dword(key, "ReadyLine", o.ready_line));
  o.ready_after_polls = Dword(key, "ReadyAfterPolls", o.ready_after_polls);
  o.fpga_version = static_cast<uint16_t>(Dword(key, "FpgaVersion", o.fpga_version));
  o.fpga_options = static_cast<uint8_t>(Dword(key, "FpgaOptions", o.fpga_options));
  o.scene = Dword(key, "Scene", 0) == 1 ? Scene::kRamp : Scene::kNatural;
  o.trigger_interval_ms = Dword(key, "TriggerIntervalMs", o.trigger_interval_ms);
  o.present = Dword(key, "Present", 1) != 0;
  o.fail_header_reads = Dword(key, "FailHeaderReads", 0);
  o.fail_data_reads = Dword(key, "FailDataReads", 0);
  return o;
}

// Keeps the run-time values of the configured cameras in step with the store.
class ConfigWatcher {
 public:
  explicit ConfigWatcher(std::shared_ptr<EmulatorPort> port) : port_(std::move(port)) {
    for (size_t i = 0; i < port_->camera_count(); ++i) {
      const EmulatedCameraOptions o = port_->camera(i).options();
      seen_.push_back({o.fail_header_reads, o.fail_data_reads});
    }
    thread_.Start([this] { Run(); });
  }
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      stopping_ = true;
    }
    wake_.notify_all();
    thread_.Join(1000);
  }

 private:
  struct Seen {
    uint32_t header_faults;
    uint32_t data_faults;
  };

  // A fault count is armed when its stored value changes, and the remaining
  // count is written back as it is used, so the same value can be set again.
  static void SyncFaults(platform::SettingsKey& key, const char* name, uint32_t* seen, uint32_t remaining,
                         void (EmulatedCamera::*arm)(uint32_t), EmulatedCamera& camera) {
    uint32_t stored = 0;
    if (!key.QueryDword(name, &stored)) return;
    if (stored != *seen) {
      (camera.*arm)(stored);
      *seen = stored;
    } else if (remaining != stored) {
      key.SetDword(name, remaining);
      *seen = remaining;
    }
  }

  void Poll() {
    for (size_t i = 0; i < port_->camera_count(); ++i) {
      platform::SettingsKey key;
      if (!key.Open(CameraKeyPath(static_cast<uint32_t>(i)))) continue;
      EmulatedCamera& camera = port_->camera(i);
      uint32_t present = 1;
      if (key.QueryDword("Present", &present)) camera.SetPresent(present != 0);
      SyncFaults(key, "FailHeaderReads", &seen_[i].header_faults, camera.pending_header_faults(),
                 &EmulatedCamera::SetFailHeaderReads, camera);
      SyncFaults(key, "FailDataReads", &seen_[i].data_faults, camera.pending_data_faults(),
                 &EmulatedCamera::SetFailDataReads, camera);
    }
  }

  void Run() {
    std::unique_lock<std::mutex> lock(mu_);
    while (!stopping_) {
      lock.unlock();
      Poll();
      lock.lock();
      wake_.wait_for(lock, std::chrono::milliseconds(kWatchIntervalMs), [this] { return stopping_; });
    }
  }

  std::shared_ptr<EmulatorPort> port_;
  std::vector<Seen> seen_;
  std::mutex mu_;
  std::condition_variable wake_;
  bool stopping_ = false;
  platform::Thread thread_;
};

struct Configured {
  std::shared_ptr<EmulatorPort> port;
  ConfigWatcher* watcher = nullptr;
};

std::mutex& ConfiguredMutex() {
  static std::mutex* mu = new std::mutex;
  return *mu;
}

// Lives for the whole process; only its threads are stopped at exit, so no
// static it uses is torn down under them.
Configured*& ConfiguredState() {
  static Configured* state = nullptr;
  return state;
}

[[maybe_unused]] void StopConfiguredAtExit() {
  Configured* state = ConfiguredState();
  if (!state) return;
  state->watcher->Stop();
  state->port->Shutdown();
}

}  // namespace

std::shared_ptr<platform::DriverPort> ConfiguredPort() {
  std::lock_guard<std::mutex> lock(ConfiguredMutex());
  Configured*& state = ConfiguredState();
  if (state) return state->port;

  platform::SettingsKey key;
  if (!key.Open(ConfigKey())) return nullptr;
  uint32_t count = 0;
  if (!key.QueryDword("Cameras", &count) || count == 0) return nullptr;
  if (count > kMaxCameras) count = kMaxCameras;

  // The cameras' threads run until the process ends; the code they run must
  // stay loaded even if the application unloads the library.
  platform::KeepModuleLoaded();
  auto port = std::make_shared<EmulatorPort>();
  for (uint32_t i = 0; i < count; ++i) port->AddCamera(ReadOptions(i));
  state = new Configured{port, new ConfigWatcher(port)};
#ifdef MORVEX_POSIX
  // Natively the threads would outlive the statics they use; on Windows the
  // process has ended them before a DLL's exit code runs, possibly inside a
  // lock, so nothing is torn down there.
  std::atexit(StopConfiguredAtExit);
#endif
  return state->port;
}

}  // namespace morvex::emulator
