// Acquisition against the emulator's ramp scene: exact frames by snapshot,
// the mode state machine, callback preview with its messages and buffer,
// triggered frames, and stopping that never waits out a frame time-out.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "camera/morvex.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "emulated_environment.h"
#include "emulator/emulator.h"
#include "imaging/defect_mask.h"
#include "imaging/dib_image.h"
#include "platform/window_messages.h"
#include "settings/registry_store.h"
#include "names.h"
#include "paths.h"

namespace morvex {
namespace {

uint16_t Ramp(int x, int y) { return static_cast<uint16_t>((x + 4 * y) % 4096); }

// Collects what the library posts to the callback window.
struct Messages {
  Messages() {
    platform::SetPostedMessageSink(
        [this](platform::WindowHandle window, uint32_t message, uintptr_t w, intptr_t l) {
          if (window != kWindow || message != kWmFrame) return;
          std::lock_guard<std::mutex> lock(mutex);
          if (w == 0) {
            errors.push_back(static_cast<int32_t>(l));
          } else {
            ++frame_count;
            last = *reinterpret_cast<const FrameDescription*>(w);
          }
        });
  }
  ~Messages() { platform::SetPostedMessageSink({}); }
  int32_t Frames() {
    std::lock_guard<std::mutex> lock(mutex);
    return frame_count;
  }
  std::vector<int32_t> Errors() {
    std::lock_guard<std::mutex> lock(mutex);
    return errors;
  }
  FrameDescription Last() {
    std::lock_guard<std::mutex> lock(mutex);
    return last;
  }

  static inline platform::WindowHandle const kWindow = reinterpret_cast<platform::WindowHandle>(0x5A5A);
  std::mutex mutex;
  int32_t frame_count = 0;
  std::vector<int32_t> errors;
  FrameDescription last{};
};

class Acquisition : public ::testing::Test {
 protected:
  std::unique_ptr<CMorvex> Make(const emulator::EmulatedCameraOptions& options = RampOptions()) {
    if (camera_ == nullptr) camera_ = &port_.AddCamera(options);
    const CMorvex::Environment environment =
        test::EmulatedEnvironment(port_, mapping_, private_.Path("MorvexVelsaTEC3T2Sdk"));
    auto camera = std::make_unique<CMorvex>(platform::SystemClock(), environment);
    EXPECT_EQ(1, camera->Initialize(nullptr));
    return camera;
  }
  static emulator::EmulatedCameraOptions RampOptions() {
    emulator::EmulatedCameraOptions options;
    options.scene = emulator::Scene::kRamp;
    return options;
  }

  test::PrivateSettings private_;
  std::string mapping_ = test::UniqueName("acquisition");
  emulator::EmulatorPort port_;
  emulator::EmulatedCamera* camera_ = nullptr;
};

// Pixel (x, y) of a frame copied with row order `order` (non-zero: first
// sensor row first), `bytes` per pixel.
uint32_t Pixel(const std::vector<uint8_t>& frame, int32_t stride, int32_t height, int32_t x, int32_t y,
               int32_t order, int32_t bytes) {
  const int32_t row = order != 0 ? y : height - 1 - y;
  const uint8_t* p = frame.data() + static_cast<size_t>(row) * stride + static_cast<size_t>(x) * bytes;
  return bytes == 1 ? p[0] : static_cast<uint32_t>(p[0] | p[1] << 8);
}

TEST_F(Acquisition, SnapShotDeliversTheRampExactly) {
  auto camera = Make();
  struct Case {
    int32_t bits, order, subsample;
  } cases[] = {{8, 1, 0}, {8, 0, 0}, {16, 1, 0}, {16, 0, 0}, {8, 1, 1}, {16, 0, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE("bits " + std::to_string(c.bits) + " order " + std::to_string(c.order) + " subsample " +
                 std::to_string(c.subsample));
    ASSERT_EQ(1, camera->SetColorMode(c.bits));
    ASSERT_EQ(1, camera->SetSubSample(c.subsample));
    const int32_t width = c.subsample ? 320 : 640, height = c.subsample ? 256 : 512, bytes = c.bits / 8;
    const int32_t stride = width * bytes;
    std::vector<uint8_t> frame(static_cast<size_t>(stride) * height, 0xEE);
    ASSERT_EQ(1, camera->SnapShot(frame.data(), static_cast<int32_t>(frame.size()), c.order));
    int wrong = 0;
    for (int32_t y = 0; y < height && wrong < 5; ++y) {
      for (int32_t x = 0; x < width && wrong < 5; ++x) {
        uint32_t expected = Ramp(x, y);
        if (c.subsample)  // binning: the integer mean of four
          expected = (Ramp(2 * x, 2 * y) + Ramp(2 * x + 1, 2 * y) + Ramp(2 * x, 2 * y + 1) +
                      Ramp(2 * x + 1, 2 * y + 1)) /
                     4;
        if (bytes == 1) expected >>= 4;
        const uint32_t got = Pixel(frame, stride, height, x, y, c.order, bytes);
        if (got != expected) {
          ADD_FAILURE() << "at (" << x << ", " << y << ") expected " << expected << ", got " << got;
          ++wrong;
        }
      }
    }
  }
}

// The larger uncooled sensors are turned by half a turn too: a size preset
// off their corner, taken by snapshot, holds the ramp columns and rows
// asked for. Both are attached, so the second is device 0 at table index 1.
class OtherModel : public CMorvexUSB3T2SimpleSdk {
 public:
  OtherModel(platform::DriverPort& port, const std::string& mapping, int32_t product)
      : CMorvexUSB3T2SimpleSdk(port, platform::SystemClock(), mapping.c_str()), product_(product) {}
  int32_t SetProductId(int32_t) override { return CMorvexUSB3T2SimpleSdk::SetProductId(product_); }
  int32_t CountCameras(int32_t) override { return CMorvexUSB3T2SimpleSdk::CountCameras(product_); }

 private:
  const int32_t product_;
};

TEST_F(Acquisition, SnapShotWindowsOnTheLargeUncooledSensors) {
  constexpr int32_t kX = 64, kY = 32, kWidth = 320, kHeight = 256;
  for (const auto& [name, product] : {std::pair{"IMX992", 0x3370}, {"IMX993", 0x33C0}}) {
    emulator::EmulatedCameraOptions options = RampOptions();
    options.product_id = static_cast<uint16_t>(product);
    port_.AddCamera(options);
  }
  settings::RegistryStore store(private_.Path("MorvexVelsaTEC3T2Sdk"));
  for (const auto& [name, product] : {std::pair{"IMX992", 0x3370}, {"IMX993", 0x33C0}}) {
    CMorvex::Environment environment =
        test::EmulatedEnvironment(port_, mapping_, private_.Path("MorvexVelsaTEC3T2Sdk"));
    OtherModel* made = nullptr;
    environment.make_device = [this, product = product, &made]() -> std::unique_ptr<CMorvexZ3U2Base> {
      auto device = std::make_unique<OtherModel>(port_, mapping_, product);
      made = device.get();
      return device;
    };
    CMorvex camera(platform::SystemClock(), environment);
    ASSERT_EQ(1, camera.Initialize(nullptr));
    // The camera's own presets sit under its device-table index.
    ASSERT_EQ(1, store.WriteCameraSizes(made->GetTableIndex(),
                                        {settings::SizeEntry{640, 512, kWidth, kHeight, kX, kY, 4}},
                                        settings::FormatValues{}));
    ASSERT_EQ(1, camera.SetCaptureWindow(kWidth, kHeight));
    for (int32_t bits : {8, 16}) {
      SCOPED_TRACE(std::string(name) + ", " + std::to_string(bits) + " bits");
      ASSERT_EQ(1, camera.SetColorMode(bits));
      const int32_t bytes = bits / 8, stride = kWidth * bytes;
      std::vector<uint8_t> frame(static_cast<size_t>(stride) * kHeight, 0xEE);
      ASSERT_EQ(1, camera.SnapShot(frame.data(), static_cast<int32_t>(frame.size()), 1));
      int wrong = 0;
      for (int32_t y = 0; y < kHeight && wrong < 5; ++y) {
        for (int32_t x = 0; x < kWidth && wrong < 5; ++x) {
          const uint32_t expected = Ramp(kX + x, kY + y) >> (bytes == 1 ? 4 : 0);
          const uint32_t got = Pixel(frame, stride, kHeight, x, y, 1, bytes);
          if (got != expected) {
            ADD_FAILURE() << "at (" << x << ", " << y << ") expected " << expected << ", got " << got;
            ++wrong;
          }
        }
      }
    }
  }
}

// The references filled from ramp frames, stored, reloaded bit for bit,
// hostile files refused, and the mask filter applied to the next frames.
TEST_F(Acquisition, MaskDataFromFramesThroughFilesIntoThePipeline) {
  using imaging::MaskKind;
  auto camera = Make();
  const imaging::MaskData& mask = *camera->mask_data();
  auto everything = [&mask] {
    std::vector<uint8_t> all;
    for (int32_t depth : {8, 16})
      for (MaskKind kind : {MaskKind::kDark, MaskKind::kWhite})
        for (const imaging::CDibImage* im : {&mask.reference(depth, kind), &mask.defect_map(depth, kind)})
          all.insert(all.end(), im->pixels(), im->pixels() + im->size_bytes());
    return all;
  };
  auto at16 = [](const imaging::CDibImage& image, int32_t x, int32_t y) {
    uint16_t v = 0;
    std::memcpy(&v, image.row(y) + 2 * x, 2);
    return v;
  };
  const std::string path = test::TempPath("camera.msk");
  auto write = [&path](const std::vector<uint8_t>& bytes) {
    FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, out);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
  };
  std::vector<uint8_t> frame(640 * 512 * 2);
  const int32_t size = static_cast<int32_t>(frame.size());

  // The 8-bit ramp becomes the dark reference, the 16-bit ramp the white one.
  ASSERT_EQ(1, camera->SnapShot(frame.data(), size, 1));
  ASSERT_EQ(1, camera->UpdateMaskData(0));
  ASSERT_EQ(1, camera->SetColorMode(16));
  ASSERT_EQ(1, camera->SnapShot(frame.data(), size, 1));
  ASSERT_EQ(1, camera->UpdateMaskData(1));
  for (auto [x, y] : {std::pair{0, 0}, {7, 3}, {639, 511}}) {
    EXPECT_EQ(Ramp(x, y) >> 4, mask.reference(8, MaskKind::kDark).row(y)[x]) << x << ", " << y;
    EXPECT_EQ(Ramp(x, y), at16(mask.reference(16, MaskKind::kWhite), x, y)) << x << ", " << y;
  }
  // White below 1024 is a defect off the two-pixel border; the ramp's dark
  // 8 stays below 192 everywhere.
  const imaging::CDibImage& white_map = mask.defect_map(16, MaskKind::kWhite);
  EXPECT_EQ(1, at16(white_map, 10, 10));
  EXPECT_EQ(0, at16(white_map, 1, 10));
  EXPECT_EQ(0, at16(white_map, 600, 200));
  const imaging::CDibImage& dark_map = mask.defect_map(8, MaskKind::kDark);
  EXPECT_EQ(dark_map.pixels() + dark_map.size_bytes(),
            std::find(dark_map.pixels(), dark_map.pixels() + dark_map.size_bytes(), 1));
  const std::vector<uint8_t> updated = everything();

  // Neither a selector other than dark or white nor a binned frame changes anything.
  EXPECT_EQ(0, camera->UpdateMaskData(2));
  EXPECT_EQ(kErrFile, camera->PopError());
  ASSERT_EQ(1, camera->SetSubSample(1));
  ASSERT_EQ(1, camera->SnapShot(frame.data(), size, 1));
  EXPECT_EQ(1, camera->UpdateMaskData(0));
  ASSERT_EQ(1, camera->SetSubSample(0));
  EXPECT_EQ(updated, everything());

  ASSERT_EQ(1, camera->SaveMaskFile(path.c_str()));
  std::vector<uint8_t> file(40 + 2 * 0x50000 + 2 * 0xA0000 + 1);
  FILE* in = std::fopen(path.c_str(), "rb");
  ASSERT_NE(nullptr, in);
  file.resize(std::fread(file.data(), 1, file.size(), in));
  std::fclose(in);
  ASSERT_EQ(40u + 2 * 0x50000 + 2 * 0xA0000, file.size());
  ASSERT_EQ(1, camera->SnapShot(frame.data(), size, 1));
  ASSERT_EQ(1, camera->UpdateMaskData(0));  // the 16-bit ramp as dark 16
  const std::vector<uint8_t> changed = everything();
  ASSERT_NE(updated, changed);
  ASSERT_EQ(1, camera->LoadMaskFile(path.c_str()));
  EXPECT_EQ(updated, everything());
  ASSERT_EQ(1, camera->UpdateMaskData(0));

  struct Hostile {
    const char* what;
    size_t at;
    std::vector<uint8_t> patch;
    size_t length;
  } hostile[] = {
      {"wrong magic", 0, {'q'}, file.size()},
      {"width 320", 16, {0x40, 0x01}, file.size()},
      {"short header", 0, {}, 39},
      {"short block 1", 0, {}, 40 + 0x50000 - 1},
      {"short block 2", 0, {}, 40 + 2 * 0x50000 - 1},
      {"short block 3", 0, {}, 40 + 2 * 0x50000 + 0xA0000 - 1},
      {"short block 4", 0, {}, file.size() - 1},
  };
  for (const Hostile& h : hostile) {
    std::vector<uint8_t> bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(h.length));
    std::copy(h.patch.begin(), h.patch.end(), bytes.begin() + static_cast<std::ptrdiff_t>(h.at));
    write(bytes);
    EXPECT_EQ(0, camera->LoadMaskFile(path.c_str())) << h.what;
    EXPECT_EQ(kErrMaskFile, camera->PopError()) << h.what;
  }
  std::remove(path.c_str());
  EXPECT_EQ(0, camera->LoadMaskFile(path.c_str()));
  EXPECT_EQ(kErrMaskFile, camera->PopError());
  EXPECT_EQ(changed, everything());

  // The mask filter against the saved references: a 16-bit ramp over
  // itself as white is full scale, left-aligned; the 8-bit ramp over
  // itself as dark is black.
  write(file);
  ASSERT_EQ(1, camera->LoadMaskFile(path.c_str()));
  std::remove(path.c_str());
  ASSERT_EQ(1, camera->SetFilterValue(103, 1));
  for (int32_t bits : {16, 8}) {
    ASSERT_EQ(1, camera->SetColorMode(bits));
    ASSERT_EQ(1, camera->SnapShot(frame.data(), size, 1));
    int wrong = 0;
    for (int32_t y = 0; y < 512 && wrong < 5; ++y)
      for (int32_t x = 0; x < 640 && wrong < 5; ++x) {
        const uint32_t expected = bits == 8 ? 0 : (Ramp(x, y) == 0 ? 0 : 4095 * 16);
        const uint32_t got = Pixel(frame, 640 * bits / 8, 512, x, y, 1, bits / 8);
        if (got != expected) {
          ADD_FAILURE() << bits << " bits at (" << x << ", " << y << ") expected " << expected << ", got "
                        << got;
          ++wrong;
        }
      }
  }
}

TEST_F(Acquisition, ModesFollowTheStateTable) {
  auto camera = Make();
  std::vector<uint8_t> frame(640 * 512);
  const int32_t size = static_cast<int32_t>(frame.size());
  // SnapShot in idle mode leaves it idle: preview may start afterwards.
  EXPECT_EQ(1, camera->SnapShot(frame.data(), size, 1));
  EXPECT_EQ(1, camera->StartPreview());
  EXPECT_EQ(1, camera->StartPreview());  // already running
  for (auto refused : {+[](CMorvex&m, uint8_t*, int32_t) { return m.Capture(); },
                       +[](CMorvex&m, uint8_t*b, int32_t s) { return m.SnapShot(b, s, 1); },
                       +[](CMorvex&m, uint8_t*b, int32_t s) { return m.Trigger(nullptr, b, s, 1); }}) {
    EXPECT_EQ(0, refused(*camera, frame.data(), size));
    EXPECT_EQ(kErrNotReady, camera->PopError());
  }
  EXPECT_EQ(1, camera->StopPreview());
  // Capture mode: snapshots without stopping the stream; preview refused.
  EXPECT_EQ(1, camera->Capture());
  EXPECT_EQ(1, camera->Capture());
  EXPECT_EQ(1, camera->SnapShot(frame.data(), size, 1));
  EXPECT_EQ(1, camera->SnapShot(frame.data(), size, 1));
  EXPECT_EQ(0, camera->StartPreview());
  EXPECT_EQ(kErrNotReady, camera->PopError());
  EXPECT_EQ(0, camera->Trigger(nullptr, nullptr, 0, 0));
  EXPECT_EQ(kErrNotReady, camera->PopError());
  EXPECT_EQ(1, camera->StopPreview());
  // A buffer one byte short fails with 5; the image lock is free afterwards.
  EXPECT_EQ(0, camera->SnapShot(frame.data(), size - 1, 1));
  EXPECT_EQ(kErrBuffer, camera->PopError());
  EXPECT_EQ(1, camera->GetImage(frame.data(), size, 1));
}

TEST_F(Acquisition, TheLastImageIsSavedUntilClose) {
  auto camera = Make();
  const std::string raw = test::TempPath("snapshot.raw");
  EXPECT_EQ(0, camera->SaveImage(raw.c_str(), 1));  // no frame yet
  EXPECT_EQ(kErrNotReady, camera->PopError());
  ASSERT_EQ(1, camera->SetColorMode(16));
  std::vector<uint8_t> frame(640 * 512 * 2);
  ASSERT_EQ(1, camera->SnapShot(frame.data(), static_cast<int32_t>(frame.size()), 1));
  EXPECT_EQ(0, camera->SaveImage(raw.c_str(), 7));
  ASSERT_EQ(1, camera->SaveImage(raw.c_str(), 1));
  std::vector<uint8_t> saved(frame.size() + 1);
  FILE* file = std::fopen(raw.c_str(), "rb");
  ASSERT_NE(nullptr, file);
  EXPECT_EQ(frame.size(), std::fread(saved.data(), 1, saved.size(), file));
  std::fclose(file);
  saved.resize(frame.size());
  EXPECT_EQ(frame, saved);  // memory order: first sensor row first
  ASSERT_EQ(1, camera->Close());
  EXPECT_EQ(0, camera->SaveImage(raw.c_str(), 1));
  EXPECT_EQ(kErrNotReady, camera->PopError());
  std::remove(raw.c_str());
}

TEST_F(Acquisition, GetImageBeforePrepareFailsAndAfterCaptureSucceeds) {
  auto camera = Make();
  std::vector<uint8_t> frame(640 * 512);
  EXPECT_EQ(0, camera->GetImage(frame.data(), static_cast<int32_t>(frame.size()), 1));
  EXPECT_EQ(kErrBuffer, camera->PopError());
  ASSERT_EQ(1, camera->Capture());
  EXPECT_EQ(1, camera->GetImage(frame.data(), static_cast<int32_t>(frame.size()), 1));
}

TEST_F(Acquisition, CallBackPreviewAnnouncesEveryFrameWithItsDescription) {
  auto camera = Make();
  Messages messages;
  std::vector<uint8_t> frame(640 * 512 * 2);
  ASSERT_EQ(1, camera->SetColorMode(16));
  ASSERT_EQ(1, camera->SetWaitTime(0));
  ASSERT_EQ(1,
            camera->CallBackPreview(Messages::kWindow, frame.data(), static_cast<int32_t>(frame.size()), 1));
  const auto start = std::chrono::steady_clock::now();
  while (messages.Frames() < 20 && std::chrono::steady_clock::now() - start < std::chrono::seconds(20))
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(1, camera->StopPreview());
  EXPECT_GE(messages.Frames(), 20);
  EXPECT_TRUE(messages.Errors().empty());
  const FrameDescription last = messages.Last();
  EXPECT_EQ(0, last.reserved);
  EXPECT_EQ(640, last.width);
  EXPECT_EQ(512, last.height);
  EXPECT_EQ(16, last.bits_per_pixel);
  const void* announced = last.user_buffer;  // a packed field: read by value
  EXPECT_EQ(static_cast<const void*>(frame.data()), announced);
  EXPECT_EQ(Ramp(7, 3), Pixel(frame, 1280, 512, 7, 3, 1, 2));
}

TEST_F(Acquisition, ShortBufferAndUnplugArePostedAsErrors) {
  auto camera = Make();
  Messages messages;
  std::vector<uint8_t> frame(640 * 512);
  ASSERT_EQ(1, camera->SetWaitTime(0));
  ASSERT_EQ(
      1, camera->CallBackPreview(Messages::kWindow, frame.data(), static_cast<int32_t>(frame.size()) - 1, 1));
  const auto start = std::chrono::steady_clock::now();
  while (messages.Errors().size() < 3 && std::chrono::steady_clock::now() - start < std::chrono::seconds(20))
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(0, messages.Frames());
  for (int32_t code : messages.Errors()) EXPECT_EQ(kErrBuffer, code);
  ASSERT_GE(messages.Errors().size(), 3u);

  ASSERT_EQ(1, camera->StopPreview());
  Messages after;
  ASSERT_EQ(1,
            camera->CallBackPreview(Messages::kWindow, frame.data(), static_cast<int32_t>(frame.size()), 1));
  camera_->SetPresent(false);
  const auto unplugged = std::chrono::steady_clock::now();
  while (after.Errors().empty() && std::chrono::steady_clock::now() - unplugged < std::chrono::seconds(20))
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const int32_t frames = after.Frames();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(std::vector<int32_t>{kErrStreamStopped}, after.Errors());
  EXPECT_EQ(frames, after.Frames());  // nothing after the failure
  EXPECT_EQ(1, camera->StopPreview());
}

TEST_F(Acquisition, TriggeredFramesArriveOnePerPulseAndStopIsPrompt) {
  emulator::EmulatedCameraOptions options = RampOptions();
  options.trigger_interval_ms = 250;
  auto camera = Make(options);
  Messages messages;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(1, camera->Trigger(Messages::kWindow, nullptr, 0, 0));
  EXPECT_EQ(1, camera->Trigger(Messages::kWindow, nullptr, 0, 0));  // no second worker
  while (messages.Frames() < 4 && std::chrono::steady_clock::now() - start < std::chrono::seconds(20))
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const auto elapsed =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_GE(messages.Frames(), 4);
  EXPECT_LE(messages.Frames(), elapsed.count() / 250 + 1)
      << "more frames than pulses in " << elapsed.count() << " ms";
  EXPECT_EQ(0, messages.Last().frame_rate);
  EXPECT_TRUE(messages.Errors().empty());
  // No pulse comes any more: the stop does not wait out the 60 s trigger wait.
  camera_->SetTriggerInterval(0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto stop = std::chrono::steady_clock::now();
  EXPECT_EQ(1, camera->StopPreview());
  EXPECT_LT(std::chrono::steady_clock::now() - stop, std::chrono::seconds(2));
}

TEST_F(Acquisition, ReleaseWhileFramesFlowJoinsTheWorker) {
  for (int round = 0; round < 3; ++round) {
    auto camera = Make();
    Messages messages;
    std::vector<uint8_t> frame(640 * 512);
    ASSERT_EQ(1, camera->SetWaitTime(0));
    ASSERT_EQ(
        1, camera->CallBackPreview(Messages::kWindow, frame.data(), static_cast<int32_t>(frame.size()), 1));
    std::atomic<bool> done{false};
    std::thread reader([&] {
      std::vector<uint8_t> copy(frame.size());
      while (!done) camera->GetImage(copy.data(), static_cast<int32_t>(copy.size()), 0);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    done = true;
    reader.join();
    camera.reset();  // stops and joins the worker before anything is freed
    const int32_t frames = messages.Frames();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(frames, messages.Frames());
  }
}

}  // namespace
}  // namespace morvex
