// The newest error codes of a camera instance and the application window
// they are posted to. Codes come from application and worker threads alike.
#pragma once

#include <cstdint>
#include <mutex>

#include "platform/window_messages.h"

namespace morvex {

class ErrorHistory {
 public:
  static constexpr int kLength = 20;

  // Pushes the code and posts MORVEX_WM_ERROR when a window is set.
  void Record(int32_t code);
  // Skips the history; posts even to a null window.
  void PostOnly(int32_t code);
  // Newest code first; 0 once the history is exhausted.
  int32_t Pop();

  void set_window(platform::WindowHandle window);
  platform::WindowHandle window() const;

 private:
  mutable std::mutex lock_;
  int32_t codes_[kLength] = {};
  platform::WindowHandle window_ = nullptr;
};

}  // namespace morvex
