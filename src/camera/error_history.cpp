#include "camera/error_history.h"

#include <cstring>

#include "camera/errors.h"

namespace morvex {

void ErrorHistory::Record(int32_t code) {
  platform::WindowHandle window;
  {
    std::lock_guard<std::mutex> lock(lock_);
    std::memmove(&codes_[1], &codes_[0], sizeof(codes_[0]) * (kLength - 1));
    codes_[0] = code;
    window = window_;
  }
  if (window != nullptr) platform::PostWindowMessage(window, kWmError, 0, code);
}

void ErrorHistory::PostOnly(int32_t code) { platform::PostWindowMessage(this->window(), kWmError, 0, code); }

int32_t ErrorHistory::Pop() {
  std::lock_guard<std::mutex> lock(lock_);
  const int32_t code = codes_[0];
  std::memmove(&codes_[0], &codes_[1], sizeof(codes_[0]) * (kLength - 1));
  codes_[kLength - 1] = 0;
  return code;
}

void ErrorHistory::set_window(platform::WindowHandle window) {
  std::lock_guard<std::mutex> lock(lock_);
  window_ = window;
}

platform::WindowHandle ErrorHistory::window() const {
  std::lock_guard<std::mutex> lock(lock_);
  return window_;
}

}  // namespace morvex
