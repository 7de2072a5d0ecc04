// The three settings dialogs of a camera instance. The analogue and image
// dialogs change the camera at once through the instance's own operations;
// the camera dialog edits the stored capture format.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "camera/morvex.h"
#include "device/morvex_z3u2_base.h"
// After the device headers: windows.h defines macros named like their members.
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include "settings/dialogs/dialog_ids.h"
#include "settings/dialogs/tab_frame_win32.h"

namespace morvex {

namespace dlg = settings::dialogs;

namespace {

constexpr int kOk = 1;
constexpr int kCancel = 2;

std::wstring Widen(const char* text) {
  std::wstring wide;
  for (const char* p = text; *p != '\0'; ++p) wide += static_cast<wchar_t>(static_cast<unsigned char>(*p));
  return wide;
}

std::wstring Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::wstring Format(const char* format, ...) {
  char text[128];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return Widen(text);
}

// --- Real-exposure units ------------------------------------------------------------------
enum Unit { kSec = 0, kMs = 1, kMicro = 2, kNs = 3 };
constexpr double kUnitFactor[] = {1.0, 1e3, 1e6, 1e9};
constexpr const char* kUnitText[] = {"sec", "ms",
                                     "\x83\xCA"
                                     "s",
                                     "ns"};  // code page 932

int UnitOf(double seconds) {
  if (seconds > 1.0) return kSec;
  if (seconds >= 0.001) return kMs;
  if (seconds >= 0.000001) return kMicro;
  return kNs;
}

// The unit strings are code-page-932 text; shown through that code page
// whatever the system's own, so the microsecond sign reads right everywhere.
std::wstring UnitText(int unit) {
  wchar_t wide[16] = {};
  if (MultiByteToWideChar(932, 0, kUnitText[unit], -1, wide, 16) > 0) return wide;
  return unit == kMicro ? std::wstring(L"\u03BCs") : Widen(kUnitText[unit]);
}

std::wstring FormatInUnit(double value) {
  const double fraction = value - std::floor(value);
  if (fraction >= 0.001) return Format("%.3f", value);
  if (fraction >= 0.000001) return Format("%.6f", value);
  return Format("%d", static_cast<int>(value));
}

// Image-settings fields behind a trackbar/edit/spin-box trio.
struct ImageTrio {
  int bar, edit, spin;
  int32_t min, max, page;
  int32_t settings::ImageSettingsRecord::*field;
  int index;  // into gray_gain or gray_offset when field is null
  bool offset;
};

constexpr ImageTrio kFilterTrios[] = {
    {IDC_BRIGHTNESS_BAR, IDC_BRIGHTNESS_EDIT, IDC_BRIGHTNESS_SPIN, -255, 255, 64, &ImageSettings::brightness,
     0, false},
    {IDC_CONTRAST_BAR, IDC_CONTRAST_EDIT, IDC_CONTRAST_SPIN, -127, 127, 32, &ImageSettings::contrast, 0,
     false},
    {IDC_HUE_BAR, IDC_HUE_EDIT, IDC_HUE_SPIN, -360, 360, 90, &ImageSettings::hue, 0, false},
    {IDC_SATURATION_BAR, IDC_SATURATION_EDIT, IDC_SATURATION_SPIN, -255, 255, 64, &ImageSettings::saturation,
     0, false},
    {IDC_SHARPNESS_BAR, IDC_SHARPNESS_EDIT, IDC_SHARPNESS_SPIN, 0, 30, 4, &ImageSettings::sharpness, 0,
     false},
    {IDC_R_GAIN_BAR, IDC_R_GAIN_EDIT, IDC_R_GAIN_SPIN, 0, 400, 32, &ImageSettings::bayer_gain_red, 0, false},
    {IDC_G_GAIN_BAR, IDC_G_GAIN_EDIT, IDC_G_GAIN_SPIN, 0, 400, 32, &ImageSettings::bayer_gain_green, 0,
     false},
    {IDC_B_GAIN_BAR, IDC_B_GAIN_EDIT, IDC_B_GAIN_SPIN, 0, 400, 32, &ImageSettings::bayer_gain_blue, 0, false},
    {IDC_GAMMA_BAR, IDC_GAMMA_EDIT, IDC_GAMMA_SPIN, 0, 200, 32, &ImageSettings::gamma, 0, false},
};

constexpr ImageTrio kGrayTrios[] = {
    {IDC_GRAY_GAIN_R_BAR, IDC_GRAY_GAIN_R_BAR + 1, IDC_GRAY_GAIN_R_BAR + 2, 0, 400, 32, nullptr, 0, false},
    {IDC_GRAY_GAIN_G1_BAR, IDC_GRAY_GAIN_G1_BAR + 1, IDC_GRAY_GAIN_G1_BAR + 2, 0, 400, 32, nullptr, 1, false},
    {IDC_GRAY_GAIN_G2_BAR, IDC_GRAY_GAIN_G2_BAR + 1, IDC_GRAY_GAIN_G2_BAR + 2, 0, 400, 32, nullptr, 2, false},
    {IDC_GRAY_GAIN_B_BAR, IDC_GRAY_GAIN_B_BAR + 1, IDC_GRAY_GAIN_B_BAR + 2, 0, 400, 32, nullptr, 3, false},
    {IDC_GRAY_OFFSET_R_BAR, IDC_GRAY_OFFSET_R_BAR + 1, IDC_GRAY_OFFSET_R_BAR + 2, -255, 255, 32, nullptr, 0,
     true},
    {IDC_GRAY_OFFSET_G1_BAR, IDC_GRAY_OFFSET_G1_BAR + 1, IDC_GRAY_OFFSET_G1_BAR + 2, -255, 255, 32, nullptr,
     1, true},
    {IDC_GRAY_OFFSET_G2_BAR, IDC_GRAY_OFFSET_G2_BAR + 1, IDC_GRAY_OFFSET_G2_BAR + 2, -255, 255, 32, nullptr,
     2, true},
    {IDC_GRAY_OFFSET_B_BAR, IDC_GRAY_OFFSET_B_BAR + 1, IDC_GRAY_OFFSET_B_BAR + 2, -255, 255, 32, nullptr, 3,
     true},
};

int32_t& FieldOf(ImageSettings& settings, const ImageTrio& trio) {
  if (trio.field != nullptr) return settings.*(trio.field);
  return trio.offset ? settings.gray_offset[trio.index] : settings.gray_gain[trio.index];
}

// The trackbar's position goes into its edit; the edit's notification does the rest.
void CopyBarToEdit(HWND page, HWND bar, int edit) {
  const int32_t position = static_cast<int32_t>(SendMessageW(bar, TBM_GETPOS, 0, 0));
  dlg::SetControlText(page, edit, std::to_wstring(position));
}

}  // namespace

// The dialogs' access to the instance: its caches, device and store.
class DialogRoom {
 public:
  explicit DialogRoom(CMorvex& camera) : camera_(camera), device_(*camera.device_) {}
  CMorvex& camera() { return camera_; }
  CMorvexZ3U2Base& device() { return device_; }

  void RefreshAnalogueFromDevice() {
    const auto device_lock = camera_.properties_.LockDevice();
    settings::AnalogueRecord record = camera_.analogue_settings();
    int32_t value = 0;
    if (device_.GetGain(&value)) record.global = value;
    if (device_.GetGainGreen1(&value)) record.color_g1 = value;
    if (device_.GetGainRed(&value)) record.color_r = value;
    if (device_.GetGainBlue(&value)) record.color_b = value;
    if (device_.GetGainGreen2(&value)) record.color_g2 = value;
    if (device_.GetExposureTime(&value)) record.exposure = value;
    double seconds = 0.0;
    if (device_.HasRealExposureTime() == 1 && device_.GetRealExposureTime(&seconds))
      record.exposure_ex = seconds;
    if (device_.GetMirrorV(&value)) record.mirror_v = value;
    if (device_.GetMirrorH(&value)) record.mirror_h = value;
    camera_.stored_.set_analogue(record);
  }
  // Exposure time and real exposure time as the device now has them.
  void ReadExposureBack() {
    const auto device_lock = camera_.properties_.LockDevice();
    int32_t value = 0;
    if (device_.GetExposureTime(&value)) {
      std::lock_guard<std::mutex> lock(camera_.stored_.lock);
      camera_.stored_.analogue.exposure = value;
    }
    camera_.properties_.RefreshExposureSeconds(device_);
  }
  settings::AnalogueRecord analogue() { return camera_.analogue_settings(); }
  int32_t cooler() const { return camera_.stored_.cooler; }
  void set_cooler(int32_t on) { camera_.stored_.cooler = on; }
  void set_gain_level(int32_t level) {
    std::lock_guard<std::mutex> lock(camera_.stored_.lock);
    camera_.stored_.analogue.gain_mode = level;
  }
  // Puts the kept gains, exposure and mirrors back on the device and in the
  // caches; black level, cooler and gain level stay as they are now.
  void RestoreAnalogue(const settings::AnalogueRecord& kept) {
    const auto device_lock = camera_.properties_.LockDevice();
    device_.SetGain(kept.global);
    device_.SetGainGreen1(kept.color_g1);
    device_.SetGainRed(kept.color_r);
    device_.SetGainBlue(kept.color_b);
    device_.SetGainGreen2(kept.color_g2);
    if (device_.HasRealExposureTime() == 1)
      device_.SetRealExposureTime(kept.exposure_ex);
    else
      device_.SetExposureTime(kept.exposure & 0xFFFF);
    device_.SetMirrorV(kept.mirror_v);
    device_.SetMirrorH(kept.mirror_h);
    std::lock_guard<std::mutex> lock(camera_.stored_.lock);
    const settings::AnalogueRecord now = camera_.stored_.analogue;
    camera_.stored_.analogue = kept;
    camera_.stored_.analogue.black_level = now.black_level;
    camera_.stored_.analogue.gain_mode = now.gain_mode;
  }

  ImageSettings image() {
    std::lock_guard<std::mutex> lock(camera_.stored_.lock);
    return camera_.stored_.image;
  }
  template <typename Change>
  void ChangeImage(Change&& change) {
    std::lock_guard<std::mutex> lock(camera_.stored_.lock);
    change(camera_.stored_.image);
  }
  int32_t color_mode() const { return camera_.format_.color_mode; }

  // The capture format.
  settings::RegistryStore& store() { return camera_.stored_.store; }
  int32_t camera_number() const { return camera_.selection_.device(); }
  settings::ColorCapabilities caps() const { return camera_.ColorCapabilities(); }
  void LoadSizeSettings() { camera_.LoadSizeSettings(); }
  void ReloadFormat() {
    camera_.LoadSizeSettings();
    camera_.LoadPerCameraValues();
  }
  int32_t mode() const { return camera_.mode_.load(); }
  void set_run_state(int32_t state) { camera_.run_state_.store(state); }

 private:
  CMorvex& camera_;
  CMorvexZ3U2Base& device_;
};

namespace {

// --- Analogue page -------------------------------------------------------------------------

class AnalogPage : public dlg::Page, public dlg::FrameHandler {
 public:
  explicit AnalogPage(DialogRoom& room) : room_(room), device_(room.device()) {
    real_ = device_.HasRealExposureTime() == 1;
    if (real_) {
      device_.GetRealExposureTimeMin(&real_min_);
      device_.GetRealExposureTimeMax(&real_max_);
    }
  }

  void OnInit() override { Fill(); }

  void Fill() {
    HWND page = window();
    dlg::ProgrammaticText quiet(suppress_);
    const settings::AnalogueRecord record = room_.analogue();
    int32_t min = 0, max = 0;
    device_.GetGainMin(&min);
    device_.GetGainMax(&max);
    dlg::SetUpTrio(page, IDC_GAIN_BAR, IDC_GAIN_EDIT, IDC_GAIN_SPIN, min, max, record.global);

    for (int id :
         {IDC_EXPOSURE_LABEL, IDC_EXPOSURE_BAR, IDC_EXPOSURE_EDIT, IDC_EXPOSURE_SPIN, IDC_EXPOSURE_MS})
      dlg::ShowControl(page, id, !real_);
    for (int id :
         {IDC_REAL_EXPOSURE_LABEL, IDC_REAL_EXPOSURE_EDIT, IDC_REAL_EXPOSURE_UNIT, IDC_REAL_EXPOSURE_RANGE})
      dlg::ShowControl(page, id, real_);
    if (real_) {
      FillUnits(record.exposure_ex);
    } else {
      device_.GetExposureTimeMin(&min);
      device_.GetExposureTimeMax(&max);
      dlg::SetUpTrio(page, IDC_EXPOSURE_BAR, IDC_EXPOSURE_EDIT, IDC_EXPOSURE_SPIN, min, max, record.exposure);
      ShowExposureMs(record.exposure);
    }

    const bool black = device_.HasBlackLevel() == 1;
    for (int id : {IDC_BLACK_LABEL, IDC_BLACK_BAR, IDC_BLACK_EDIT, IDC_BLACK_SPIN})
      dlg::ShowControl(page, id, black);
    if (black) {
      device_.GetBlackLevelMin(&min);
      device_.GetBlackLevelMax(&max);
      dlg::SetUpTrio(page, IDC_BLACK_BAR, IDC_BLACK_EDIT, IDC_BLACK_SPIN, min, max, record.black_level);
    }

    dlg::ShowControl(page, IDC_PELTIER, device_.HasCooler() == 1);
    dlg::SetCheck(page, IDC_PELTIER, room_.cooler() != 0);
    const bool short_exposure = device_.HasShortExposureMode() == 1;
    dlg::ShowControl(page, IDC_SHORT_EXPOSURE, short_exposure);
    int32_t on = 0;
    if (short_exposure && device_.GetShortExposureMode(&on)) dlg::SetCheck(page, IDC_SHORT_EXPOSURE, on != 0);

    const int32_t level = device_.HasGainLevel() == 1 ? device_.GetGainLevel() : -1;
    dlg::ShowControl(page, IDC_GAIN_LEVEL, level >= 0);
    SendDlgItemMessageW(page, IDC_GAIN_LEVEL, CB_RESETCONTENT, 0, 0);
    dlg::AddComboText(page, IDC_GAIN_LEVEL, L"High Gain");
    dlg::AddComboText(page, IDC_GAIN_LEVEL, L"Low Gain");
    SendDlgItemMessageW(page, IDC_GAIN_LEVEL, CB_SETCURSEL, level >= 0 ? level : -1, 0);

    dlg::SetCheck(page, IDC_AUTO_EXPOSURE, record.auto_iris == 1);
    dlg::SetCheck(page, IDC_AUTO_GAIN, record.auto_iris == 2);
    dlg::SetCheck(page, IDC_MIRROR_V, record.mirror_v != 0);
    dlg::SetCheck(page, IDC_MIRROR_H, record.mirror_h != 0);
  }

  void OnTrackbar(HWND bar) override {
    const int id = GetDlgCtrlID(bar);
    const int edit = id == IDC_GAIN_BAR       ? IDC_GAIN_EDIT
                     : id == IDC_EXPOSURE_BAR ? IDC_EXPOSURE_EDIT
                                              : IDC_BLACK_EDIT;
    CopyBarToEdit(window(), bar, edit);
  }

  void OnCommand(int id, int code, HWND) override {
    HWND page = window();
    CMorvex& camera = room_.camera();
    if (code == EN_CHANGE) {
      if (suppress_) return;
      if (id == IDC_REAL_EXPOSURE_EDIT) return RealExposureTyped();
      int32_t value = 0;
      if (!dlg::ParseInt(dlg::ControlText(page, id), &value)) return;
      if (id == IDC_GAIN_EDIT) {
        SendDlgItemMessageW(page, IDC_GAIN_BAR, TBM_SETPOS, TRUE, value);
        camera.SetFilterValue(13, value);
      } else if (id == IDC_EXPOSURE_EDIT) {
        SendDlgItemMessageW(page, IDC_EXPOSURE_BAR, TBM_SETPOS, TRUE, value);
        camera.SetFilterValue(18, value & 0xFFFF);
        room_.ReadExposureBack();
        ShowExposureMs(room_.analogue().exposure);
      } else if (id == IDC_BLACK_EDIT) {
        SendDlgItemMessageW(page, IDC_BLACK_BAR, TBM_SETPOS, TRUE, value);
        camera.SetFilterValue(106, value);
      }
      return;
    }
    if (code == CBN_SELCHANGE) {
      const int selected = static_cast<int>(SendDlgItemMessageW(page, id, CB_GETCURSEL, 0, 0));
      if (id == IDC_REAL_EXPOSURE_UNIT && selected >= 0) {
        int32_t ok = 0;
        const double seconds = camera.GetExposureTimeEx(&ok);
        ShowRealExposure(ok ? seconds : room_.analogue().exposure_ex);
      } else if (id == IDC_GAIN_LEVEL && selected >= 0) {
        camera.SetFilterValue(104, selected);
        room_.set_gain_level(selected);
      }
      return;
    }
    if (code != BN_CLICKED) return;
    switch (id) {
      case IDC_MIRROR_V:
        camera.SetMirrorV(dlg::Checked(page, id));
        break;
      case IDC_MIRROR_H:
        camera.SetMirrorH(dlg::Checked(page, id));
        break;
      case IDC_PELTIER:
        SetCooler(dlg::Checked(page, id));
        break;
      case IDC_SHORT_EXPOSURE:
        device_.SetShortExposureMode(dlg::Checked(page, id));
        break;
      case IDC_AUTO_GAIN:
      case IDC_AUTO_EXPOSURE: {
        const int other = id == IDC_AUTO_GAIN ? IDC_AUTO_EXPOSURE : IDC_AUTO_GAIN;
        if (dlg::Checked(page, id)) dlg::SetCheck(page, other, false);
        camera.SetAutoIris(dlg::Checked(page, IDC_AUTO_GAIN)       ? 2
                           : dlg::Checked(page, IDC_AUTO_EXPOSURE) ? 1
                                                                   : 0);
        break;
      }
      default:
        break;
    }
  }

  // Default(&D) of the frame.
  void OnDefault(HWND) override {
    CMorvex& camera = room_.camera();
    int32_t value = 0;
    if (device_.GetGainDefault(&value)) camera.SetFilterValue(13, value);
    if (device_.GetColorGainDefault(&value)) {
      for (int32_t id = 14; id <= 17; ++id) camera.SetFilterValue(id, value);
    }
    if (real_) {
      double seconds = 0.0;
      if (device_.GetRealExposureTimeDefault(&seconds)) camera.SetExposureTimeEx(seconds);
    } else if (device_.GetExposureTimeDefault(&value)) {
      camera.SetFilterValue(18, value);
    }
    if (device_.HasBlackLevel() == 1 && device_.GetBlackLevelDefault(&value))
      camera.SetFilterValue(106, value);
    if (device_.HasCooler() == 1) SetCooler(true);
    if (device_.HasShortExposureMode() == 1) device_.SetShortExposureMode(0);
    if (device_.HasGainLevel() == 1) {
      camera.SetFilterValue(104, 0);
      room_.set_gain_level(0);
    }
    room_.ReadExposureBack();
    Fill();
  }

 private:
  void SetCooler(bool on) {
    if (room_.camera().SetFilterValue(100, on ? 1 : 0)) room_.set_cooler(on ? 1 : 0);
  }

  void ShowExposureMs(int32_t exposure) {
    dlg::ProgrammaticText quiet(suppress_);
    dlg::SetControlText(window(), IDC_EXPOSURE_MS, Format("=%.2fms", exposure / 10.0));
  }

  void FillUnits(double current) {
    HWND page = window();
    units_.clear();
    SendDlgItemMessageW(page, IDC_REAL_EXPOSURE_UNIT, CB_RESETCONTENT, 0, 0);
    for (int unit = UnitOf(real_min_); unit >= UnitOf(real_max_); --unit) {
      units_.push_back(unit);
      dlg::AddComboText(page, IDC_REAL_EXPOSURE_UNIT, UnitText(unit));
    }
    int selected = 0;
    for (size_t i = 0; i < units_.size(); ++i)
      if (units_[i] == UnitOf(current)) selected = static_cast<int>(i);
    SendDlgItemMessageW(page, IDC_REAL_EXPOSURE_UNIT, CB_SETCURSEL, selected, 0);
    const int min_unit = UnitOf(real_min_), max_unit = UnitOf(real_max_);
    const std::wstring range =
        L"range: " + std::to_wstring(static_cast<int>(real_min_ * kUnitFactor[min_unit])) +
        UnitText(min_unit) + L" - " + std::to_wstring(static_cast<int>(real_max_ * kUnitFactor[max_unit])) +
        UnitText(max_unit);
    dlg::SetControlText(page, IDC_REAL_EXPOSURE_RANGE, range);
    ShowRealExposure(current);
  }

  int SelectedUnit() {
    const LRESULT selected = SendDlgItemMessageW(window(), IDC_REAL_EXPOSURE_UNIT, CB_GETCURSEL, 0, 0);
    if (selected < 0 || static_cast<size_t>(selected) >= units_.size()) return kSec;
    return units_[static_cast<size_t>(selected)];
  }

  void ShowRealExposure(double seconds) {
    dlg::ProgrammaticText quiet(suppress_);
    dlg::SetControlText(window(), IDC_REAL_EXPOSURE_EDIT,
                        FormatInUnit(seconds * kUnitFactor[SelectedUnit()]));
  }

  void RealExposureTyped() {
    double value = 0.0;
    if (!dlg::ParseDouble(dlg::ControlText(window(), IDC_REAL_EXPOSURE_EDIT), &value)) return;
    const double seconds = value / kUnitFactor[SelectedUnit()];
    room_.camera().SetExposureTimeEx(seconds);
    room_.ReadExposureBack();
  }

  DialogRoom& room_;
  CMorvexZ3U2Base& device_;
  bool real_ = false;
  double real_min_ = 0.0;
  double real_max_ = 0.0;
  std::vector<int> units_;
  bool suppress_ = false;
};

// --- Image pages -----------------------------------------------------------------------------

class ImagePage : public dlg::Page {
 public:
  ImagePage(DialogRoom& room, const ImageTrio* trios, size_t count, bool gray, bool colour)
      : room_(room), trios_(trios), count_(count), gray_(gray), colour_(colour) {}

  void OnInit() override { Fill(); }

  void Fill() {
    HWND page = window();
    dlg::ProgrammaticText quiet(suppress_);
    ImageSettings settings = room_.image();
    for (size_t i = 0; i < count_; ++i) {
      const ImageTrio& t = trios_[i];
      dlg::SetUpTrio(page, t.bar, t.edit, t.spin, t.min, t.max, FieldOf(settings, t), t.page);
      if (!gray_ && !colour_ && !MonochromeControl(t.bar))
        for (int id : {t.bar, t.edit, t.spin}) dlg::EnableControl(page, id, false);
    }
    for (int mode = 0; mode < 4; ++mode) {
      dlg::SetCheck(page, IDC_BAYER_MODE0 + mode, settings.bayer_mode == mode);
      if (!gray_) dlg::EnableControl(page, IDC_BAYER_MODE0 + mode, colour_);
    }
    if (gray_) {
      dlg::SetCheck(page, IDC_FILTER_BAYER, settings.gray_mode == 0);
      dlg::SetCheck(page, IDC_FILTER_BAYER_CONVERT, settings.gray_mode == 1);
      dlg::SetCheck(page, IDC_FILTER_GRAYSCALE, settings.gray_mode == 2);
    } else {
      dlg::EnableControl(page, IDC_AUTO_ONCE, colour_);
      dlg::EnableControl(page, IDC_AUTO_ALL_FRAMES, colour_);
    }
    dlg::SetCheck(page, IDC_AUTO_ALL_FRAMES, settings.bayer_gain_auto != 0);
  }

  void OnTrackbar(HWND bar) override {
    for (size_t i = 0; i < count_; ++i)
      if (trios_[i].bar == GetDlgCtrlID(bar)) CopyBarToEdit(window(), bar, trios_[i].edit);
  }

  void OnCommand(int id, int code, HWND) override {
    HWND page = window();
    if (code == EN_CHANGE) {
      if (suppress_) return;
      for (size_t i = 0; i < count_; ++i) {
        const ImageTrio& t = trios_[i];
        int32_t value = 0;
        if (t.edit != id || !dlg::ParseInt(dlg::ControlText(page, id), &value)) continue;
        if (value < t.min || value > t.max) return;
        SendDlgItemMessageW(page, t.bar, TBM_SETPOS, TRUE, value);
        room_.ChangeImage([&](ImageSettings& s) { FieldOf(s, t) = value; });
      }
      return;
    }
    if (code != BN_CLICKED) return;
    if (id >= IDC_BAYER_MODE0 && id <= IDC_BAYER_MODE3) {
      room_.ChangeImage([&](ImageSettings& s) { s.bayer_mode = id - IDC_BAYER_MODE0; });
    } else if (id >= IDC_FILTER_BAYER && id <= IDC_FILTER_GRAYSCALE) {
      room_.ChangeImage([&](ImageSettings& s) { s.gray_mode = id - IDC_FILTER_BAYER; });
    } else if (id == IDC_AUTO_ONCE) {
      // One measurement on the next frame; continuous balance ends.
      dlg::SetCheck(page, IDC_AUTO_ALL_FRAMES, false);
      room_.ChangeImage([](ImageSettings& s) {
        s.gray_auto_balance = 1;
        s.bayer_gain_auto = 0;
      });
    } else if (id == IDC_AUTO_ALL_FRAMES) {
      const bool on = dlg::Checked(page, id);
      room_.ChangeImage([&](ImageSettings& s) {
        s.bayer_gain_auto = on ? 1 : 0;
        s.gray_auto_balance = 0;
      });
    }
  }

 private:
  // Monochrome settings keep brightness, contrast, sharpness and gamma.
  static bool MonochromeControl(int bar) {
    return bar == IDC_BRIGHTNESS_BAR || bar == IDC_CONTRAST_BAR || bar == IDC_SHARPNESS_BAR ||
           bar == IDC_GAMMA_BAR;
  }

  DialogRoom& room_;
  const ImageTrio* trios_;
  size_t count_;
  bool gray_;
  bool colour_;
  bool suppress_ = false;
};

class ImageFrame : public dlg::FrameHandler {
 public:
  ImageFrame(DialogRoom& room, ImagePage& filter, ImagePage* gray)
      : room_(room), filter_(filter), gray_(gray) {}
  void OnDefault(HWND) override {
    const bool gray = gray_ != nullptr;
    room_.ChangeImage([gray](ImageSettings& s) {
      s.brightness = s.contrast = s.hue = s.saturation = s.sharpness = 0;
      s.bayer_gain_red = s.bayer_gain_green = s.bayer_gain_blue = s.gamma = 100;
      s.bayer_mode = 3;
      if (gray) {
        // Gain 128 is unity; offset 0 leaves the level as it is.
        for (int i = 0; i < 4; ++i) s.gray_gain[i] = 128, s.gray_offset[i] = 0;
      }
    });
    filter_.Fill();
    if (gray_ != nullptr) gray_->Fill();
  }

 private:
  DialogRoom& room_;
  ImagePage& filter_;
  ImagePage* gray_;
};

// --- Camera dialog ---------------------------------------------------------------------------

constexpr const char* kColorStrings[] = {"Monochrome 8bit", "Monochrome %dbit *", "Color 24bit",
                                         "Color 32bit",     "Color 48bit *",      "Color 64bit *"};
constexpr int kEffectiveEdits[] = {IDC_H_EFFECTIVE, IDC_V_EFFECTIVE, IDC_H_START, IDC_V_START};
constexpr int kSizeEdits[] = {IDC_H_TOTAL,     IDC_V_TOTAL, IDC_H_EFFECTIVE,
                              IDC_V_EFFECTIVE, IDC_H_START, IDC_V_START};

std::wstring ColorText(int index) {
  return index == 1 ? Format(kColorStrings[1], 12) : Widen(kColorStrings[index]);
}
std::wstring SizeText(const settings::SizeEntry& e) { return Format("%d x %d", e.eh, e.ev); }

class CameraFrame : public dlg::FrameHandler {
 public:
  explicit CameraFrame(DialogRoom& room) : room_(room) {}

  void OnInit(HWND frame) override {
    frame_ = frame;
    dlg::ProgrammaticText quiet(suppress_);
    settings::FormatValues format;
    sizes_ = room_.store().ReadCameraSizes(room_.camera_number(), &format);
    const settings::ColorCapabilities caps = room_.caps();
    if (caps.setting0) colors_.push_back(0);
    if (caps.setting1) colors_.push_back(1);
    if (caps.setting2)
      for (int i = 2; i < 6; ++i) colors_.push_back(i);
    if (!caps.setting2) {
      if (caps.setting1)
        format.color = 1;
      else if (caps.setting0)
        format.color = 0;
    }
    int color_item = 0;
    for (size_t i = 0; i < colors_.size(); ++i) {
      dlg::AddComboText(frame, IDC_COLOR, ColorText(colors_[i]));
      if (colors_[i] == format.color) color_item = static_cast<int>(i);
    }
    SendDlgItemMessageW(frame, IDC_COLOR, CB_SETCURSEL, color_item, 0);

    dlg::AddComboText(frame, IDC_SUBSAMPLE, L"1/1");
    dlg::AddComboText(frame, IDC_SUBSAMPLE, L"1/2 Skip");
    SendDlgItemMessageW(frame, IDC_SUBSAMPLE, CB_SETCURSEL, format.subsample == 1 ? 1 : 0, 0);

    dlg::AddComboText(frame, IDC_CLOCK, L"Nomal(24MHz)");
    dlg::AddComboText(frame, IDC_CLOCK, L"Half(12MHz)");
    dlg::AddComboText(frame, IDC_CLOCK, Format("High(%dMHz)", 54));
    SendDlgItemMessageW(frame, IDC_CLOCK, CB_SETCURSEL, format.clock, 0);
    SendDlgItemMessageW(frame, IDC_CLOCK, CB_SETCURSEL, 2, 0);

    for (const settings::SizeEntry& entry : sizes_) dlg::AddComboText(frame, IDC_SIZE_LIST, SizeText(entry));
    dlg::AddComboText(frame, IDC_SIZE_LIST, L"Custom");
    const int size_item =
        format.size >= 0 && static_cast<size_t>(format.size) < sizes_.size() ? format.size : 0;
    SendDlgItemMessageW(frame, IDC_SIZE_LIST, CB_SETCURSEL, size_item, 0);
    ShowSize(size_item);
    dlg::SetControlText(frame, IDC_WAIT_TIME, std::to_wstring(format.wait_time));
    for (int id : kEffectiveEdits) dlg::EnableControl(frame, id, format.subsample != 1);
  }

  void OnCommand(HWND frame, int id, int code, HWND) override {
    if (id == IDC_APPLY && code == BN_CLICKED) {
      Apply();
      return;
    }
    if (code == CBN_SELCHANGE) {
      if (id == IDC_SIZE_LIST) {
        dlg::ProgrammaticText quiet(suppress_);
        ShowSize(Selected(IDC_SIZE_LIST));
      } else if (id == IDC_SUBSAMPLE) {
        SubSampleChosen(Selected(IDC_SUBSAMPLE) == 1);
      }
      dlg::EnableControl(frame, IDC_APPLY, true);
    } else if (code == EN_CHANGE && !suppress_) {
      dlg::EnableControl(frame, IDC_APPLY, true);
    }
  }

  bool OnOk(HWND) override {
    Apply();
    return true;
  }

 private:
  int Selected(int id) { return static_cast<int>(SendDlgItemMessageW(frame_, id, CB_GETCURSEL, 0, 0)); }
  bool IsCustom(int item) { return item < 0 || static_cast<size_t>(item) >= sizes_.size(); }

  void ShowSize(int item) {
    if (IsCustom(item)) return;
    const settings::SizeEntry& e = sizes_[static_cast<size_t>(item)];
    const int32_t values[] = {e.th, e.tv, e.eh, e.ev, e.ehs, e.evs};
    for (int i = 0; i < 6; ++i) dlg::SetControlText(frame_, kSizeEdits[i], std::to_wstring(values[i]));
  }

  void SubSampleChosen(bool skip) {
    for (int id : kEffectiveEdits) dlg::EnableControl(frame_, id, !skip);
    if (!skip) return;
    size_t found = sizes_.size();
    for (size_t i = 0; i < sizes_.size() && found == sizes_.size(); ++i)
      if (sizes_[i].eh == 640 && sizes_[i].ev == 512 && sizes_[i].ehs == 0 && sizes_[i].evs == 0) found = i;
    if (found == sizes_.size()) {
      settings::SizeEntry entry;  // 640 x 512 at 0, 0
      sizes_.push_back(entry);
      SendDlgItemMessageW(frame_, IDC_SIZE_LIST, CB_INSERTSTRING, found,
                          reinterpret_cast<LPARAM>(SizeText(entry).c_str()));
    }
    SendDlgItemMessageW(frame_, IDC_SIZE_LIST, CB_SETCURSEL, found, 0);
    dlg::ProgrammaticText quiet(suppress_);
    ShowSize(static_cast<int>(found));
  }

  void Apply() {
    settings::FormatValues format;
    const int color_item = Selected(IDC_COLOR);
    format.color =
        color_item >= 0 && static_cast<size_t>(color_item) < colors_.size() ? colors_[color_item] : 0;
    format.subsample = Selected(IDC_SUBSAMPLE) == 1 ? 1 : 0;
    format.clock = std::max(Selected(IDC_CLOCK), 0);
    int32_t wait = 0;
    if (dlg::ParseInt(dlg::ControlText(frame_, IDC_WAIT_TIME), &wait)) format.wait_time = wait;
    int item = Selected(IDC_SIZE_LIST);
    settings::SizeEntry entry;
    if (IsCustom(item)) {
      item = static_cast<int>(sizes_.size());
      sizes_.push_back(entry);
    } else {
      entry = sizes_[static_cast<size_t>(item)];
    }
    int32_t* fields[] = {&entry.th, &entry.tv, &entry.eh, &entry.ev, &entry.ehs, &entry.evs};
    for (int i = 0; i < 6; ++i) dlg::ParseInt(dlg::ControlText(frame_, kSizeEdits[i]), fields[i]);
    sizes_[static_cast<size_t>(item)] = entry;
    // The list text follows the entry; a custom entry goes before "Custom".
    SendDlgItemMessageW(frame_, IDC_SIZE_LIST, CB_DELETESTRING, item, 0);
    SendDlgItemMessageW(frame_, IDC_SIZE_LIST, CB_INSERTSTRING, item,
                        reinterpret_cast<LPARAM>(SizeText(entry).c_str()));
    SendDlgItemMessageW(frame_, IDC_SIZE_LIST, CB_SETCURSEL, item, 0);
    format.size = item;
    room_.store().WriteCameraSizes(room_.camera_number(), sizes_, format);
    dlg::EnableControl(frame_, IDC_APPLY, false);
  }

  DialogRoom& room_;
  HWND frame_ = nullptr;
  std::vector<settings::SizeEntry> sizes_;
  std::vector<int> colors_;
  bool suppress_ = false;
};

}  // namespace

// --- The exports' operations ----------------------------------------------------------------

int32_t CMorvex::CameraDialog(platform::WindowHandle owner) {
  if (!RequireDevice()) return 0;
  DialogRoom room(*this);
  const int32_t mode = mode_.load();
  if (mode == kPreviewMode || mode == kCaptureMode) StopPreview();
  if (mode == kTriggerMode) run_state_.store(kPaused);
  LoadSizeSettings();
  CameraFrame frame(room);
  const bool japanese = dlg::JapaneseTemplates();
  const std::vector<dlg::FramePage> pages{{japanese ? L"カメラ" : L"Camera", 0, nullptr}};
  const INT_PTR answer = dlg::RunTabFrame(static_cast<HWND>(owner),
                                          japanese ? IDD_CAMERA_FRAME_JA : IDD_CAMERA_FRAME_EN, pages, frame);
  if (answer == kOk) room.ReloadFormat();
  // Only what ran before starts again; a restart that fails is recorded.
  bool restarted = true;
  if (mode == kPreviewMode) restarted = StartPreview() == 1;
  if (mode == kCaptureMode) restarted = Capture() == 1;
  if (mode == kTriggerMode && run_state_.load() == kPaused) run_state_.store(kRun);
  if (!restarted) RecordError(kErrAcquisition);
  if (answer == -1) {
    RecordError(kErrWindow);
    return 0;
  }
  return restarted ? 1 : 0;
}

int32_t CMorvex::AnalogDialog(platform::WindowHandle owner) {
  if (!RequireDevice()) return 0;
  DialogRoom room(*this);
  room.RefreshAnalogueFromDevice();
  const settings::AnalogueRecord kept = room.analogue();
  AnalogPage page(room);
  const bool japanese = dlg::JapaneseTemplates();
  const bool colour = device_->SupportsColorSetting2() == 1;
  const int page_template = colour ? (japanese ? IDD_ANALOG_COLOR_PAGE_JA : IDD_ANALOG_COLOR_PAGE_EN)
                                   : (japanese ? IDD_ANALOG_PAGE_JA : IDD_ANALOG_PAGE_EN);
  const std::vector<dlg::FramePage> pages{{L"Analog Gain", page_template, &page}};
  const INT_PTR answer = dlg::RunTabFrame(static_cast<HWND>(owner),
                                          japanese ? IDD_ANALOG_FRAME_JA : IDD_ANALOG_FRAME_EN, pages, page);
  if (answer == -1) {
    RecordError(kErrWindow);
    return 0;
  }
  if (answer != kOk) room.RestoreAnalogue(kept);
  return 1;
}

int32_t CMorvex::ImageDialog(platform::WindowHandle owner) {
  if (!RequireDevice()) return 0;
  DialogRoom room(*this);
  const ImageSettings kept = room.image();
  const bool colour = room.color_mode() >= 2;
  const bool japanese = dlg::JapaneseTemplates();
  ImagePage filter(room, kFilterTrios, std::size(kFilterTrios), false, colour);
  ImagePage gray(room, kGrayTrios, std::size(kGrayTrios), true, colour);
  std::vector<dlg::FramePage> pages{
      {L"Image Filter", japanese ? IDD_IMAGE_PAGE_JA : IDD_IMAGE_PAGE_EN, &filter}};
  if (!colour) pages.push_back({L"Gray Filter", japanese ? IDD_GRAY_PAGE_JA : IDD_GRAY_PAGE_EN, &gray});
  ImageFrame frame(room, filter, colour ? nullptr : &gray);
  const INT_PTR answer = dlg::RunTabFrame(static_cast<HWND>(owner),
                                          japanese ? IDD_IMAGE_FRAME_JA : IDD_IMAGE_FRAME_EN, pages, frame);
  if (answer == -1) {
    RecordError(kErrWindow);
    return 0;
  }
  if (answer != kOk) room.ChangeImage([&](ImageSettings& s) { s = kept; });
  return 1;
}

}  // namespace morvex
