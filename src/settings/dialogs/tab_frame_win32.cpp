#include "settings/dialogs/tab_frame_win32.h"

#include <commctrl.h>

#include <cstdlib>
#include <cwchar>

#include "settings/dialogs/dialog_ids.h"

namespace morvex::settings::dialogs {

namespace {

constexpr LANGID kJapanese = 1041;
// Where each page sits inside the tab control, in pixels.
constexpr int kPageX = 30;
constexpr int kPageY = 25;

struct Frame {
  const std::vector<FramePage>* pages;
  FrameHandler* handler;
  HWND tab = nullptr;
};

void ShowPage(const Frame& frame, int index) {
  for (size_t i = 0; i < frame.pages->size(); ++i) {
    Page* page = (*frame.pages)[i].page;
    if (page != nullptr && page->window() != nullptr)
      ShowWindow(page->window(), static_cast<int>(i) == index ? SW_SHOW : SW_HIDE);
  }
}

void DrawTabLabel(const Frame& frame, const DRAWITEMSTRUCT& item) {
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  if (item.itemID >= frame.pages->size()) return;
  RECT rect = item.rcItem;
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
  const std::wstring& label = (*frame.pages)[item.itemID].label;
  DrawTextW(item.hDC, label.c_str(), static_cast<int>(label.size()), &rect,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

BOOL InitFrame(HWND window, Frame* frame) {
  SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(frame));
  frame->tab = GetDlgItem(window, IDC_TAB);
  // Pages are children of the tab control: keyboard focus moves into them.
  SetWindowLongPtrW(frame->tab, GWL_EXSTYLE,
                    GetWindowLongPtrW(frame->tab, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
  const HINSTANCE module = TemplateModule();
  for (size_t i = 0; i < frame->pages->size(); ++i) {
    const FramePage& entry = (*frame->pages)[i];
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(entry.label.c_str());
    SendMessageW(frame->tab, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    if (entry.page == nullptr) continue;
    HWND page = CreateDialogParamW(module, MAKEINTRESOURCEW(entry.template_id), frame->tab, PageProc,
                                   reinterpret_cast<LPARAM>(entry.page));
    if (page == nullptr) {
      EndDialog(window, -1);
      return TRUE;
    }
    SetWindowPos(page, nullptr, kPageX, kPageY, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ShowPage(*frame, 0);
  frame->handler->OnInit(window);
  return TRUE;
}

INT_PTR CALLBACK FrameProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) return InitFrame(window, reinterpret_cast<Frame*>(lparam));
  auto* frame = reinterpret_cast<Frame*>(GetWindowLongPtrW(window, DWLP_USER));
  if (frame == nullptr) return FALSE;
  switch (message) {
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->idFrom == IDC_TAB && header->code == TCN_SELCHANGE)
        ShowPage(*frame, static_cast<int>(SendMessageW(frame->tab, TCM_GETCURSEL, 0, 0)));
      return FALSE;
    }
    case WM_DRAWITEM:
      if (wparam != IDC_TAB) return FALSE;
      DrawTabLabel(*frame, *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
      return TRUE;
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      const int code = HIWORD(wparam);
      if (id == IDOK) {
        if (frame->handler->OnOk(window)) EndDialog(window, IDOK);
      } else if (id == IDCANCEL) {
        EndDialog(window, IDCANCEL);
      } else if (id == IDC_DEFAULT && code == BN_CLICKED) {
        frame->handler->OnDefault(window);
      } else {
        frame->handler->OnCommand(window, id, code, reinterpret_cast<HWND>(lparam));
      }
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* page = reinterpret_cast<Page*>(lparam);
    SetWindowLongPtrW(window, DWLP_USER, lparam);
    page->window_ = window;
    page->OnInit();
    return TRUE;
  }
  auto* page = reinterpret_cast<Page*>(GetWindowLongPtrW(window, DWLP_USER));
  if (page == nullptr) return FALSE;
  switch (message) {
    case WM_COMMAND:
      page->OnCommand(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
      return TRUE;
    case WM_HSCROLL:
      if (lparam != 0) page->OnTrackbar(reinterpret_cast<HWND>(lparam));
      return TRUE;
    case WM_DESTROY:
      page->window_ = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

bool JapaneseTemplates() { return GetSystemDefaultLangID() == kJapanese; }

HINSTANCE TemplateModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&TemplateModule), &module);
  return module;
}

INT_PTR RunTabFrame(HWND owner, int frame_template, const std::vector<FramePage>& pages,
                    FrameHandler& handler) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&controls);
  Frame frame{&pages, &handler};
  return DialogBoxParamW(TemplateModule(), MAKEINTRESOURCEW(frame_template), owner, FrameProc,
                         reinterpret_cast<LPARAM>(&frame));
}

void SetControlText(HWND dialog, int id, const std::wstring& text) {
  SetDlgItemTextW(dialog, id, text.c_str());
}

std::wstring ControlText(HWND dialog, int id) {
  wchar_t text[256] = {};
  GetDlgItemTextW(dialog, id, text, 256);
  return text;
}

bool ParseInt(const std::wstring& text, int32_t* value) {
  const wchar_t* start = text.c_str();
  wchar_t* end = nullptr;
  const long parsed = std::wcstol(start, &end, 10);
  if (end == start) return false;
  while (*end == L' ') ++end;
  if (*end != L'\0' || parsed < INT32_MIN || parsed > INT32_MAX) return false;
  *value = static_cast<int32_t>(parsed);
  return true;
}

bool ParseDouble(const std::wstring& text, double* value) {
  const wchar_t* start = text.c_str();
  wchar_t* end = nullptr;
  const double parsed = std::wcstod(start, &end);
  if (end == start) return false;
  while (*end == L' ') ++end;
  if (*end != L'\0') return false;
  *value = parsed;
  return true;
}

void SetUpTrio(HWND dialog, int bar, int edit, int spin, int32_t min, int32_t max, int32_t value,
               int32_t page) {
  HWND bar_window = GetDlgItem(dialog, bar);
  SendMessageW(bar_window, TBM_SETRANGEMIN, FALSE, min);
  SendMessageW(bar_window, TBM_SETRANGEMAX, TRUE, max);
  SendMessageW(bar_window, TBM_SETPAGESIZE, 0, page != 0 ? page : (max - min) / 8);
  // Through another position: a trackbar redraws its thumb only when the position changes.
  SendMessageW(bar_window, TBM_SETPOS, FALSE, value != max ? max : min);
  SendMessageW(bar_window, TBM_SETPOS, TRUE, value);
  HWND spin_window = GetDlgItem(dialog, spin);
  SendMessageW(spin_window, UDM_SETBUDDY, reinterpret_cast<WPARAM>(GetDlgItem(dialog, edit)), 0);
  SendMessageW(spin_window, UDM_SETRANGE32, static_cast<WPARAM>(min), max);
  SendMessageW(spin_window, UDM_SETPOS32, 0, value);
  SetControlText(dialog, edit, std::to_wstring(value));
  for (int id : {bar, edit, spin}) EnableControl(dialog, id, true);
}

void ShowControl(HWND dialog, int id, bool show) {
  ShowWindow(GetDlgItem(dialog, id), show ? SW_SHOW : SW_HIDE);
}

void EnableControl(HWND dialog, int id, bool enable) {
  EnableWindow(GetDlgItem(dialog, id), enable ? TRUE : FALSE);
}

void SetCheck(HWND dialog, int id, bool checked) {
  CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void AddComboText(HWND dialog, int id, const std::wstring& text) {
  SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

}  // namespace morvex::settings::dialogs
