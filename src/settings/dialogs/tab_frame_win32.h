// The frame of every settings dialog: a modal dialog whose tab control 1001
// hosts modeless child pages, with the tab labels drawn by the frame.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace morvex::settings::dialogs {

// The system default language selects the Japanese templates (1041).
bool JapaneseTemplates();
// The module whose resources hold the templates: the one this code is in.
HINSTANCE TemplateModule();

// The dialog procedure of every page.
INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// One page: a child dialog of the tab control, created from its template.
class Page {
 public:
  virtual ~Page() = default;
  HWND window() const { return window_; }
  virtual void OnInit() {}
  virtual void OnCommand(int id, int code, HWND control) { (void)id, (void)code, (void)control; }
  // WM_HSCROLL of a trackbar.
  virtual void OnTrackbar(HWND bar) { (void)bar; }

 private:
  friend INT_PTR CALLBACK PageProc(HWND, UINT, WPARAM, LPARAM);
  HWND window_ = nullptr;
};

struct FramePage {
  std::wstring label;
  int template_id = 0;
  Page* page = nullptr;  // null: the label alone, the controls lie on the frame
};

// What the frame's owner does with its buttons and its own controls.
class FrameHandler {
 public:
  virtual ~FrameHandler() = default;
  virtual void OnInit(HWND frame) { (void)frame; }
  virtual void OnCommand(HWND frame, int id, int code, HWND control) {
    (void)frame, (void)id, (void)code, (void)control;
  }
  virtual void OnDefault(HWND frame) { (void)frame; }
  // OK pressed: false keeps the dialog open.
  virtual bool OnOk(HWND frame) {
    (void)frame;
    return true;
  }
};

// Shows the frame modally over `owner`: 1 after OK, 2 after Cancel or
// closing, -1 when the dialog could not be made.
INT_PTR RunTabFrame(HWND owner, int frame_template, const std::vector<FramePage>& pages,
                    FrameHandler& handler);

// Sets a window's text without the edit notification it causes being acted
// on: pages consult Suppressed() in their EN_CHANGE handling.
class ProgrammaticText {
 public:
  explicit ProgrammaticText(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
  ~ProgrammaticText() { flag_ = old_; }
  ProgrammaticText(const ProgrammaticText&) = delete;
  ProgrammaticText& operator=(const ProgrammaticText&) = delete;

 private:
  bool& flag_;
  bool old_;
};

// Control helpers shared by the pages.
void SetControlText(HWND dialog, int id, const std::wstring& text);
std::wstring ControlText(HWND dialog, int id);
// Parses the whole text as a signed integer (leading and trailing blanks allowed).
bool ParseInt(const std::wstring& text, int32_t* value);
bool ParseDouble(const std::wstring& text, double* value);
// Trackbar range, page size (max - min) / 8 or `page`, position; spin box
// range, position and buddy; the edit shows the value.
void SetUpTrio(HWND dialog, int bar, int edit, int spin, int32_t min, int32_t max, int32_t value,
               int32_t page = 0);
void ShowControl(HWND dialog, int id, bool show);
void EnableControl(HWND dialog, int id, bool enable);
void SetCheck(HWND dialog, int id, bool checked);
bool Checked(HWND dialog, int id);
void AddComboText(HWND dialog, int id, const std::wstring& text);

}  // namespace morvex::settings::dialogs
