#include "PluginWindow.h"

#include "GameLoader.h"
#include "KeyRouting.h"

namespace {

LONG_PTR GetUserData(HWND window) {
  return IsWindowUnicode(window) ? GetWindowLongPtrW(window, GWLP_USERDATA)
                                 : GetWindowLongPtrA(window, GWLP_USERDATA);
}

void SetUserData(HWND window, LONG_PTR value) {
  if (IsWindowUnicode(window)) {
    SetWindowLongPtrW(window, GWLP_USERDATA, value);
  } else {
    SetWindowLongPtrA(window, GWLP_USERDATA, value);
  }
}

LRESULT DefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return IsWindowUnicode(window) ? DefWindowProcW(window, message, wParam, lParam)
                                 : DefWindowProcA(window, message, wParam, lParam);
}

bool IsButtonPress(UINT message) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_XBUTTONDOWN:
    case WM_XBUTTONDBLCLK:
      return true;
    default:
      return false;
  }
}

}  // namespace

PluginWindow::PluginWindow(GameLoader& loader, KeyRouting& keys)
    : loader_(loader),
      keys_(keys),
      window_(nullptr),
      previousWndProc_(nullptr),
      subclassed_(false),
      subclassedUnicode_(false) {}

PluginWindow::~PluginWindow() {
  MessageHook::ForgetTarget(this);
  DetachWindow();
}

bool PluginWindow::AttachWindow(HWND window) {
  if (window == nullptr) return false;
  if (window != window_) {
    DetachWindow();
    window_ = window;
  }
  bool unicode = IsWindowUnicode(window) != FALSE;
  LONG_PTR procedure = reinterpret_cast<LONG_PTR>(&PluginWindow::PluginWindowProc);
  if (!subclassed_) {
    LONG_PTR previous = unicode ? SetWindowLongPtrW(window, GWLP_WNDPROC, procedure)
                                : SetWindowLongPtrA(window, GWLP_WNDPROC, procedure);
    previousWndProc_ = reinterpret_cast<WNDPROC>(previous);
    subclassedUnicode_ = unicode;
    subclassed_ = true;
  } else if (unicode != subclassedUnicode_) {
    if (unicode) {
      SetWindowLongPtrW(window, GWLP_WNDPROC, procedure);
    } else {
      SetWindowLongPtrA(window, GWLP_WNDPROC, procedure);
    }
    subclassedUnicode_ = unicode;
  }
  SetUserData(window, reinterpret_cast<LONG_PTR>(this));
  return true;
}

void PluginWindow::DetachWindow() {
  if (window_ != nullptr) {
    SetUserData(window_, 0);
    if (subclassed_) {
      LONG_PTR previous = reinterpret_cast<LONG_PTR>(previousWndProc_);
      if (IsWindowUnicode(window_)) {
        SetWindowLongPtrW(window_, GWLP_WNDPROC, previous);
      } else {
        SetWindowLongPtrA(window_, GWLP_WNDPROC, previous);
      }
    }
    subclassed_ = false;
    subclassedUnicode_ = false;
  }
  window_ = nullptr;
  previousWndProc_ = nullptr;
}

LRESULT CALLBACK PluginWindow::PluginWindowProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
  PluginWindow* self = reinterpret_cast<PluginWindow*>(GetUserData(window));
  if (self == nullptr) return DefaultProc(window, message, wParam, lParam);
  return self->HandleWindowMessage(message, window, wParam, lParam);
}

LRESULT PluginWindow::HandleWindowMessage(UINT message, HWND window, WPARAM wParam,
                                          LPARAM lParam) {
  if (window == window_ && window_ != nullptr &&
      (IsWindowUnicode(window) != FALSE) != subclassedUnicode_) {
    AttachWindow(window);
  }
  if (message == WM_SETFOCUS) {
    MessageHook::SetFocused(this);
  } else if (message == WM_KILLFOCUS) {
    MessageHook::SetFocused(nullptr);
  } else if (IsButtonPress(message)) {
    SetFocus(window);
  }
  switch (message) {
    case WM_SIZE:
    case WM_ACTIVATE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_PAINT:
    case WM_CAPTURECHANGED:
    case WM_MOUSEHOVER:
      loader_.WindowProc(window, message, wParam, lParam);
      return DefaultProc(window, message, wParam, lParam);
    case WM_ERASEBKGND:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
    case WM_SYSCOMMAND:
      return loader_.WindowProc(window, message, wParam, lParam);
    case WM_SETCURSOR:
      if (HIWORD(lParam) != 0) return loader_.WindowProc(window, message, wParam, lParam);
      return DefaultProc(window, message, wParam, lParam);
    case WM_TIMER:
      loader_.OnTimer(false);
      loader_.WindowProc(window, message, wParam, lParam);
      return DefaultProc(window, message, wParam, lParam);
    default:
      break;
  }
  if (message >= WM_MOUSEMOVE && message <= WM_XBUTTONDBLCLK) {
    loader_.WindowProc(window, message, wParam, lParam);
  }
  return DefaultProc(window, message, wParam, lParam);
}

KeyRouting& PluginWindow::GetKeyRouting() { return keys_; }
HWND PluginWindow::GetInputWindow() { return window_; }

LRESULT PluginWindow::HandleInterceptedMessage(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  return HandleWindowMessage(message, window, wParam, lParam);
}
