// The settings dialogs through the exports against the emulator: a second
// thread finds the modal dialog, works its controls with their messages and
// closes it, and the test checks the emulated camera, the settings the
// pipeline reads and the store. Every page is written as a screenshot in
// the language of the system (the test runs once per language).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "MorvexSdk.h"
#include "camera/morvex.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "emulated_environment.h"
#include "emulator/emulator.h"
#include "settings/registry_store.h"
#include "names.h"
#include "paths.h"
// After the device headers: windows.h defines macros named like their members.
#include "screen_capture_win32.h"
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include "settings/dialogs/dialog_ids.h"

namespace morvex {
namespace {

const bool kJapanese = GetSystemDefaultLangID() == 1041;
const std::string kLanguage = kJapanese ? "ja" : "en";

// The uncooled model of the same sensor family, opened as the SDK opens its own.
class UncooledModel : public CMorvexUSB3T2SimpleSdk {
 public:
  using CMorvexUSB3T2SimpleSdk::CMorvexUSB3T2SimpleSdk;
  int32_t SetProductId(int32_t) override { return CMorvexUSB3T2SimpleSdk::SetProductId(0x3280); }
  int32_t CountCameras(int32_t) override { return CMorvexUSB3T2SimpleSdk::CountCameras(0x3280); }
};

// --- Working a dialog from another thread -------------------------------------------------------

struct Search {
  int id;
  HWND found;
};

BOOL CALLBACK VisitControl(HWND window, LPARAM lparam) {
  auto* s = reinterpret_cast<Search*>(lparam);
  if (GetDlgCtrlID(window) != s->id) return TRUE;
  s->found = window;
  return FALSE;
}

// The first control with `id` anywhere under `root`.
HWND Control(HWND root, int id) {
  Search search{id, nullptr};
  EnumChildWindows(root, VisitControl, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void Notify(HWND control, int code) {
  SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
               reinterpret_cast<LPARAM>(control));
}
void Type(HWND edit, const std::wstring& text) {
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
void Choose(HWND combo, int index) {
  SendMessageW(combo, CB_SETCURSEL, index, 0);
  Notify(combo, CBN_SELCHANGE);
}
void Slide(HWND bar, int position) {
  SendMessageW(bar, TBM_SETPOS, TRUE, position);
  SendMessageW(GetParent(bar), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
               reinterpret_cast<LPARAM>(bar));
}
void Click(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }
void Press(HWND dialog, int id) { Notify(Control(dialog, id), BN_CLICKED); }
bool Checked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }
bool Visible(HWND control) { return control != nullptr && IsWindowVisible(control); }
std::wstring Text(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}
std::wstring ComboItem(HWND combo, int index) {
  wchar_t text[64] = {};
  SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
  return text;
}
void ShowTab(HWND dialog, int index) {
  HWND tab = Control(dialog, IDC_TAB);
  SendMessageW(tab, TCM_SETCURSEL, index, 0);
  NMHDR header{tab, IDC_TAB, static_cast<UINT>(TCN_SELCHANGE)};
  SendMessageW(dialog, WM_NOTIFY, IDC_TAB, reinterpret_cast<LPARAM>(&header));
}

// The captions of every button-class control (push buttons, check boxes,
// radio buttons, group boxes) under `root`, in window order.
BOOL CALLBACK VisitButton(HWND window, LPARAM out) {
  wchar_t name[32] = {};
  GetClassNameW(window, name, 32);
  if (lstrcmpiW(name, L"Button") == 0)
    reinterpret_cast<std::vector<std::wstring>*>(out)->push_back(Text(window));
  return TRUE;
}

std::vector<std::wstring> ButtonTexts(HWND root) {
  std::vector<std::wstring> texts;
  EnumChildWindows(root, VisitButton, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

INT_PTR CALLBACK Inert(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// The captions a template shows when made on its own.
std::vector<std::wstring> TemplateTexts(int id, bool page) {
  HWND parent =
      page ? CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr)
           : nullptr;
  HWND made = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), parent, Inert, 0);
  std::vector<std::wstring> texts = made != nullptr ? ButtonTexts(made) : std::vector<std::wstring>{};
  if (made != nullptr) DestroyWindow(made);
  if (parent != nullptr) DestroyWindow(parent);
  return texts;
}

// The frame and its pages came from the templates of the system's language.
void ExpectTemplates(HWND frame, int english_frame, int japanese_frame) {
  const int id = kJapanese ? japanese_frame : english_frame;
  std::vector<std::wstring> expected = TemplateTexts(id, false);
  ASSERT_FALSE(expected.empty()) << id;
  EXPECT_EQ(Text(frame), kJapanese ? L"プロパティ" : L"Property");
  std::vector<std::wstring> live;
  for (HWND child = GetWindow(frame, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    if (lstrcmpiW(name, L"Button") == 0) live.push_back(Text(child));
  }
  EXPECT_EQ(live, expected) << "frame template " << id;
}
void ExpectPage(HWND page, int english, int japanese) {
  const int id = kJapanese ? japanese : english;
  const std::vector<std::wstring> expected = TemplateTexts(id, true);
  ASSERT_FALSE(expected.empty()) << id;
  EXPECT_EQ(ButtonTexts(page), expected) << "page template " << id;
}

// The whole dialog as it is on the screen.
void Screenshot(HWND dialog, const std::string& name) {
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Sleep(300);
  RECT rect;
  GetWindowRect(dialog, &rect);
  test::Capture capture;
  capture.width = rect.right - rect.left;
  capture.height = rect.bottom - rect.top;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = capture.width;
  info.bmiHeader.biHeight = -capture.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, section);
  BitBlt(memory, 0, 0, capture.width, capture.height, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();
  capture.bgr.resize(static_cast<size_t>(capture.width) * capture.height * 3);
  const auto* p = static_cast<const uint8_t*>(bits);
  for (size_t i = 0; i < static_cast<size_t>(capture.width) * capture.height; ++i)
    for (int c = 0; c < 3; ++c) capture.bgr[i * 3 + c] = p[i * 4 + c];
  SelectObject(memory, old);
  DeleteObject(section);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  test::WritePng(capture, "dialog_" + name + "_" + kLanguage);
}

// --- Fixture ------------------------------------------------------------------------------------

class Dialogs : public ::testing::Test {
 protected:
  void Open(emulator::EmulatedCameraOptions options = {}, bool uncooled = false) {
    if (uncooled) options.product_id = 0x3280;
    camera_ = &port_.AddCamera(options);
    CMorvex::Environment environment =
        test::EmulatedEnvironment(port_, mapping_, private_.Path("MorvexVelsaTEC3T2Sdk"));
    if (uncooled) {
      environment.make_device = [this]() -> std::unique_ptr<CMorvexZ3U2Base> {
        return std::make_unique<UncooledModel>(port_, platform::SystemClock(), mapping_.c_str());
      };
    }
    CMorvex::SetDefaultEnvironment(environment);
    h_ = Morvex_Initialize(nullptr);
    ASSERT_NE(h_, 0);
  }
  void TearDown() override {
    if (h_ != 0) {
      EXPECT_EQ(Morvex_Release(h_), 1);
    }
    CMorvex::SetDefaultEnvironment({});
  }

  // Runs `dialog` on this thread while `drive` works it from another.
  int Run(int (*dialog)(int, MORVEX_HWND), const std::function<void(HWND)>& drive) {
    const DWORD me = GetCurrentThreadId();
    std::thread driver([&] {
      HWND found = test::FindDialog(me);
      if (found == nullptr) {
        ADD_FAILURE() << "no dialog appeared";
        return;
      }
      drive(found);
      // Whatever the driver left open is cancelled.
      if (IsWindow(found)) PostMessageW(found, WM_COMMAND, IDCANCEL, 0);
    });
    const int answer = dialog(h_, nullptr);
    driver.join();
    return answer;
  }

  uint8_t SensorByte(uint16_t address) const { return camera_->PeekSensorRegister(address); }
  int Gain() const { return SensorByte(0x0714) | (SensorByte(0x0715) << 8); }
  int MirrorBits() const { return SensorByte(0x0404); }
  int Cooler() const { return camera_->PeekFpgaRegister(151) & 1; }

  test::PrivateSettings private_;
  std::string mapping_ = test::UniqueName("dialogs");
  emulator::EmulatorPort port_;
  emulator::EmulatedCamera* camera_ = nullptr;
  int h_ = 0;
};

// --- Analogue dialog ------------------------------------------------------------------------------

TEST_F(Dialogs, AnalogChangesApplyAtOnceAndCancelRestoresGainExposureAndMirrors) {
  Open();
  ASSERT_EQ(Morvex_SetGlobalGain(h_, 30), 1);
  ASSERT_EQ(Morvex_SetExposureTimeEx(h_, 0.01), 1);
  ASSERT_EQ(Cooler(), 1);
  const int mirrors = MirrorBits();
  EXPECT_EQ(Run(Morvex_SetAnalogDlg,
                [&](HWND dialog) {
                  ExpectTemplates(dialog, IDD_ANALOG_FRAME_EN, IDD_ANALOG_FRAME_JA);
                  HWND page = GetParent(Control(dialog, IDC_GAIN_EDIT));
                  ExpectPage(page, IDD_ANALOG_PAGE_EN, IDD_ANALOG_PAGE_JA);
                  EXPECT_EQ(Text(Control(page, IDC_GAIN_EDIT)), L"30");
                  Screenshot(dialog, "analog");

                  Type(Control(page, IDC_GAIN_EDIT), L"100");
                  EXPECT_EQ(Gain(), 100);
                  Slide(Control(page, IDC_GAIN_BAR), 200);
                  EXPECT_EQ(Text(Control(page, IDC_GAIN_EDIT)), L"200");
                  EXPECT_EQ(Gain(), 200);
                  Choose(Control(page, IDC_REAL_EXPOSURE_UNIT), 1);  // ms
                  Type(Control(page, IDC_REAL_EXPOSURE_EDIT), L"5");
                  int flag = 0;
                  EXPECT_NEAR(Morvex_GetExposureTimeEx(h_, &flag), 0.005, 0.0001);
                  Click(Control(page, IDC_MIRROR_V));
                  EXPECT_EQ(MirrorBits() & 1, (mirrors & 1) ^ 1);
                  Click(Control(page, IDC_PELTIER));
                  EXPECT_EQ(Cooler(), 0);
                  Press(dialog, IDCANCEL);
                }),
            1);
  EXPECT_EQ(Gain(), 30);
  EXPECT_EQ(MirrorBits(), mirrors);
  int flag = 0;
  EXPECT_NEAR(Morvex_GetExposureTimeEx(h_, &flag), 0.01, 0.0001);
  EXPECT_EQ(Morvex_GetGlobalGain(h_, &flag), 30);
  EXPECT_EQ(Cooler(), 0) << "the cooler is not reverted";
}

TEST_F(Dialogs, AnalogRealExposureUnitsRangeAndOkKeepsTheValue) {
  emulator::EmulatedCameraOptions options;
  options.fpga_version = 0xC125;  // fast timing: 14.252 us shortest exposure
  Open(options);
  ASSERT_EQ(Morvex_SetExposureTimeEx(h_, 0.02), 1);
  EXPECT_EQ(Run(Morvex_SetAnalogDlg,
                [&](HWND dialog) {
                  HWND page = GetParent(Control(dialog, IDC_GAIN_EDIT));
                  HWND unit = Control(page, IDC_REAL_EXPOSURE_UNIT);
                  ASSERT_EQ(SendMessageW(unit, CB_GETCOUNT, 0, 0), 3);
                  EXPECT_EQ(ComboItem(unit, 0), L"\u03BCs");
                  EXPECT_EQ(ComboItem(unit, 1), L"ms");
                  EXPECT_EQ(ComboItem(unit, 2), L"sec");
                  EXPECT_EQ(SendMessageW(unit, CB_GETCURSEL, 0, 0), 1);
                  EXPECT_EQ(Text(Control(page, IDC_REAL_EXPOSURE_EDIT)), L"20");
                  EXPECT_EQ(Text(Control(page, IDC_REAL_EXPOSURE_RANGE)), L"range: 14\u03BCs - 2sec");
                  for (int id : {IDC_EXPOSURE_BAR, IDC_EXPOSURE_EDIT, IDC_EXPOSURE_MS, IDC_BLACK_LABEL,
                                 IDC_BLACK_EDIT, IDC_SHORT_EXPOSURE, IDC_GAIN_LEVEL})
                    EXPECT_FALSE(Visible(Control(page, id))) << id;
                  EXPECT_TRUE(Visible(Control(page, IDC_PELTIER)));
                  Choose(unit, 2);  // sec: the same time shown anew
                  EXPECT_EQ(Text(Control(page, IDC_REAL_EXPOSURE_EDIT)), L"0.020");
                  Choose(unit, 1);
                  Type(Control(page, IDC_REAL_EXPOSURE_EDIT), L"5");
                  Press(dialog, IDOK);
                }),
            1);
  int flag = 0;
  EXPECT_NEAR(Morvex_GetExposureTimeEx(h_, &flag), 0.005, 0.00001);
  EXPECT_EQ(Morvex_GetExposureTime(h_, &flag), 50);
}

TEST_F(Dialogs, AnalogDefaultSwitchesTheCoolerOnAndAutoIrisIsOneOfTwo) {
  Open();
  ASSERT_EQ(Morvex_SetPeltier(h_, 0), 1);
  ASSERT_EQ(Morvex_SetGlobalGain(h_, 300), 1);
  EXPECT_EQ(Run(Morvex_SetAnalogDlg,
                [&](HWND dialog) {
                  HWND page = GetParent(Control(dialog, IDC_GAIN_EDIT));
                  EXPECT_FALSE(Checked(Control(page, IDC_PELTIER)));
                  Click(Control(page, IDC_AUTO_GAIN));
                  Click(Control(page, IDC_AUTO_EXPOSURE));
                  EXPECT_FALSE(Checked(Control(page, IDC_AUTO_GAIN)));
                  Press(dialog, IDC_DEFAULT);
                  EXPECT_EQ(Cooler(), 1);
                  EXPECT_TRUE(Checked(Control(page, IDC_PELTIER)));
                  EXPECT_EQ(Text(Control(page, IDC_GAIN_EDIT)), L"0");
                  Press(dialog, IDOK);
                }),
            1);
  int flag = 0;
  EXPECT_EQ(Morvex_GetAutoIris(h_, &flag), 1);
  EXPECT_EQ(Gain(), 0);
  EXPECT_EQ(Morvex_GetPeltier(h_, &flag), 1);
}

TEST_F(Dialogs, AnalogHidesPeltierOnTheUncooledModel) {
  Open({}, true);
  EXPECT_EQ(Run(Morvex_SetAnalogDlg,
                [&](HWND dialog) {
                  HWND page = GetParent(Control(dialog, IDC_GAIN_EDIT));
                  EXPECT_FALSE(Visible(Control(page, IDC_PELTIER)));
                  EXPECT_TRUE(Visible(Control(page, IDC_MIRROR_H)));
                  Press(dialog, IDOK);
                }),
            1);
}

TEST_F(Dialogs, ReleaseWaitsForTheOpenDialog) {
  Open();
  std::atomic<bool> released{false};
  std::thread releaser;
  EXPECT_EQ(Run(Morvex_SetAnalogDlg,
                [&](HWND dialog) {
                  releaser = std::thread([&] {
                    EXPECT_EQ(Morvex_Release(h_), 1);
                    released = true;
                  });
                  Sleep(300);
                  EXPECT_FALSE(released.load());
                  Press(dialog, IDCANCEL);
                }),
            1);
  releaser.join();
  EXPECT_TRUE(released.load());
  h_ = 0;
}

// --- Camera dialog --------------------------------------------------------------------------------

TEST_F(Dialogs, CameraHalfSkipAddsTheFullSizeAndOkStoresItCancelWritesNothing) {
  Open();
  settings::RegistryStore store(private_.Path("MorvexVelsaTEC3T2Sdk"));
  settings::SizeEntry small{640, 512, 320, 256, 0, 0, 4};
  settings::FormatValues format;
  format.color = 1;
  ASSERT_EQ(store.WriteCameraSizes(0, {small}, format), 1);
  ASSERT_EQ(Morvex_StartPreview(h_), 1);
  EXPECT_EQ(Run(Morvex_SetCameraDlg,
                [&](HWND dialog) {
                  ExpectTemplates(dialog, IDD_CAMERA_FRAME_EN, IDD_CAMERA_FRAME_JA);
                  HWND size = Control(dialog, IDC_SIZE_LIST);
                  ASSERT_EQ(SendMessageW(size, CB_GETCOUNT, 0, 0), 2);
                  EXPECT_EQ(ComboItem(size, 0), L"320 x 256");
                  EXPECT_EQ(ComboItem(size, 1), L"Custom");
                  EXPECT_EQ(ComboItem(Control(dialog, IDC_COLOR), 0), L"Monochrome 8bit");
                  EXPECT_EQ(ComboItem(Control(dialog, IDC_COLOR), 1), L"Monochrome 12bit *");
                  EXPECT_EQ(SendMessageW(Control(dialog, IDC_CLOCK), CB_GETCURSEL, 0, 0), 2);
                  EXPECT_FALSE(IsWindowEnabled(Control(dialog, IDC_APPLY)));
                  Screenshot(dialog, "camera");
                  Choose(Control(dialog, IDC_SUBSAMPLE), 1);
                  ASSERT_EQ(SendMessageW(size, CB_GETCOUNT, 0, 0), 3);
                  EXPECT_EQ(ComboItem(size, 1), L"640 x 512");
                  EXPECT_EQ(SendMessageW(size, CB_GETCURSEL, 0, 0), 1);
                  EXPECT_FALSE(IsWindowEnabled(Control(dialog, IDC_H_EFFECTIVE)));
                  EXPECT_TRUE(IsWindowEnabled(Control(dialog, IDC_APPLY)));
                  Press(dialog, IDOK);
                }),
            1);
  settings::FormatValues stored;
  std::vector<settings::SizeEntry> sizes = store.ReadCameraSizes(0, &stored);
  ASSERT_EQ(sizes.size(), 2u);
  EXPECT_EQ(sizes[1].eh, 640);
  EXPECT_EQ(sizes[1].ev, 512);
  EXPECT_EQ(stored.size, 1);
  EXPECT_EQ(stored.subsample, 1);
  EXPECT_EQ(stored.clock, 2);
  EXPECT_EQ(Morvex_GetSubSample(h_), 1) << "the stored format is loaded after OK";
  EXPECT_EQ(Morvex_Capture(h_), 0) << "preview runs again";
  EXPECT_EQ(Morvex_StopPreview(h_), 1);

  EXPECT_EQ(Run(Morvex_SetCameraDlg,
                [&](HWND dialog) {
                  Type(Control(dialog, IDC_WAIT_TIME), L"77");
                  Choose(Control(dialog, IDC_SIZE_LIST), 2);  // Custom
                  Press(dialog, IDCANCEL);
                }),
            1);
  settings::FormatValues after;
  EXPECT_EQ(store.ReadCameraSizes(0, &after).size(), 2u);
  EXPECT_EQ(after.wait_time, stored.wait_time);
}

// --- Image dialog ---------------------------------------------------------------------------------

TEST_F(Dialogs, ImageMonochromeLiveDefaultAndCancel) {
  Open();
  ASSERT_EQ(Morvex_SetColorMode(h_, 8), 1);
  ASSERT_EQ(Morvex_SetBrightness(h_, 10), 1);
  ASSERT_EQ(Morvex_SetGrayOffsetR(h_, 20), 1);
  EXPECT_EQ(Run(Morvex_SetImageDlg,
                [&](HWND dialog) {
                  ExpectTemplates(dialog, IDD_IMAGE_FRAME_EN, IDD_IMAGE_FRAME_JA);
                  HWND tab = Control(dialog, IDC_TAB);
                  EXPECT_EQ(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 2);
                  HWND filter = GetParent(Control(dialog, IDC_BRIGHTNESS_EDIT));
                  HWND gray = GetParent(Control(dialog, IDC_GRAY_GAIN_R_BAR));
                  ExpectPage(filter, IDD_IMAGE_PAGE_EN, IDD_IMAGE_PAGE_JA);
                  ExpectPage(gray, IDD_GRAY_PAGE_EN, IDD_GRAY_PAGE_JA);
                  EXPECT_FALSE(IsWindowEnabled(Control(filter, IDC_HUE_EDIT)));
                  EXPECT_TRUE(IsWindowEnabled(Control(filter, IDC_GAMMA_EDIT)));
                  Screenshot(dialog, "image_filter");
                  ShowTab(dialog, 1);
                  EXPECT_TRUE(IsWindowVisible(gray));
                  EXPECT_FALSE(IsWindowVisible(filter));
                  Screenshot(dialog, "gray_filter");

                  int flag = 0;
                  Type(Control(filter, IDC_BRIGHTNESS_EDIT), L"40");
                  EXPECT_EQ(Morvex_GetBrightness(h_, &flag), 40);
                  Type(Control(gray, IDC_GRAY_GAIN_R_BAR + 1), L"200");
                  EXPECT_EQ(Morvex_GetGrayGainR(h_, &flag), 200);
                  Click(Control(gray, IDC_FILTER_BAYER_CONVERT));
                  EXPECT_EQ(Morvex_GetGrayMode(h_, &flag), 1);
                  Press(dialog, IDC_DEFAULT);
                  EXPECT_EQ(Morvex_GetBrightness(h_, &flag), 0);
                  EXPECT_EQ(Morvex_GetGamma(h_, &flag), 100);
                  EXPECT_EQ(Morvex_GetBayerMode(h_, &flag), 3);
                  EXPECT_EQ(Morvex_GetGrayGainR(h_, &flag), 128);
                  EXPECT_EQ(Morvex_GetGrayOffsetR(h_, &flag), 0);
                  EXPECT_EQ(Text(Control(gray, IDC_GRAY_OFFSET_R_BAR + 1)), L"0");
                  Press(dialog, IDCANCEL);
                }),
            1);
  int flag = 0;
  EXPECT_EQ(Morvex_GetBrightness(h_, &flag), 10);
  EXPECT_EQ(Morvex_GetGrayOffsetR(h_, &flag), 20);
  EXPECT_EQ(Morvex_GetGrayMode(h_, &flag), 0);
}

TEST_F(Dialogs, ImageOkKeepsChangesAndOnceAndAllFramesSetTheBalanceFlags) {
  Open();
  ASSERT_EQ(Morvex_SetColorMode(h_, 16), 1);
  EXPECT_EQ(Run(Morvex_SetImageDlg,
                [&](HWND dialog) {
                  HWND filter = GetParent(Control(dialog, IDC_BRIGHTNESS_EDIT));
                  Slide(Control(filter, IDC_CONTRAST_BAR), -20);
                  EXPECT_EQ(Text(Control(filter, IDC_CONTRAST_EDIT)), L"-20");
                  HWND gray = GetParent(Control(dialog, IDC_GRAY_GAIN_R_BAR));
                  Click(Control(gray, IDC_AUTO_ALL_FRAMES));
                  int flag = 0;
                  EXPECT_EQ(Morvex_GetBayerGainAuto(h_, &flag), 1);
                  Press(gray, IDC_AUTO_ONCE);
                  EXPECT_FALSE(Checked(Control(gray, IDC_AUTO_ALL_FRAMES)));
                  EXPECT_EQ(Morvex_GetBayerGainAuto(h_, &flag), 0);
                  Press(dialog, IDOK);
                }),
            1);
  int flag = 0;
  EXPECT_EQ(Morvex_GetContrast(h_, &flag), -20);
}

TEST(DialogsUnknownHandle, AnswerZero) {
  for (auto dialog : {Morvex_SetCameraDlg, Morvex_SetAnalogDlg, Morvex_SetImageDlg})
    EXPECT_EQ(dialog(0x1234567, nullptr), 0);
}

}  // namespace
}  // namespace morvex
