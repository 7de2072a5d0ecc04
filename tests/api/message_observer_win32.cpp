#include <windows.h>

#include "message_observer.h"

namespace morvex::test {
namespace {

constexpr char kClassName[] = "MorvexTestObserver";

ATOM RegisterObserverClass() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kClassName;
  return RegisterClassA(&wc);
}

}  // namespace

MessageObserver::MessageObserver() {
  static ATOM atom = RegisterObserverClass();
  (void)atom;
  window_ = CreateWindowExA(0, kClassName, "observer", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  Take();  // start from an empty queue
}

MessageObserver::~MessageObserver() {
  if (window_ != nullptr) DestroyWindow(static_cast<HWND>(window_));
}

std::vector<PostedMessage> MessageObserver::Take() {
  std::vector<PostedMessage> taken;
  MSG msg;
  // Thread messages (posts to a null window) are included: hWnd null.
  while (PeekMessageA(&msg, nullptr, 0x8002, 0x8003, PM_REMOVE)) {
    taken.push_back(
        {msg.hwnd, msg.message, static_cast<uintptr_t>(msg.wParam), static_cast<intptr_t>(msg.lParam)});
  }
  return taken;
}

}  // namespace morvex::test
