#include "MessageHook.h"

#include "KeyRouting.h"

namespace {

// Plain per-process values: only the browser thread that installed the hook
// touches them.
HHOOK hookHandle = nullptr;
int hookRefCount = 0;
IInputTarget* focusedTarget = nullptr;

bool IsDown(int virtualKey) { return (GetKeyState(virtualKey) & 0x8000) != 0; }

bool IsKeyMessage(UINT message) {
  return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
         message == WM_SYSKEYUP;
}

RouteDecision Decide(IInputTarget* target, const MSG* msg) {
  KeyRouting& keys = target->GetKeyRouting();
  if (IsKeyMessage(msg->message)) {
    KeyCombination key = {static_cast<uint32_t>(msg->wParam), IsDown(VK_CONTROL),
                          IsDown(VK_MENU), IsDown(VK_SHIFT)};
    return keys.DecideKey(key);
  }
  if (msg->message >= WM_MOUSEMOVE && msg->message <= WM_MOUSEWHEEL) {
    return keys.DecideMouse(msg->hwnd != nullptr && msg->hwnd == target->GetInputWindow());
  }
  return RouteDecision::Pass;
}

}  // namespace

namespace MessageHook {

bool Acquire(HMODULE module) {
  if (hookHandle != nullptr) {
    ++hookRefCount;
    return true;
  }
  hookHandle = SetWindowsHookExW(WH_GETMESSAGE, &GetMessageHookProc, module,
                                 GetCurrentThreadId());
  if (hookHandle == nullptr) return false;
  hookRefCount = 1;
  return true;
}

void Release() {
  if (hookRefCount <= 0) return;
  if (--hookRefCount == 0 && hookHandle != nullptr) {
    UnhookWindowsHookEx(hookHandle);
    hookHandle = nullptr;
  }
}

void SetFocused(IInputTarget* target) { focusedTarget = target; }
IInputTarget* GetFocused() { return focusedTarget; }

void ForgetTarget(IInputTarget* target) {
  if (focusedTarget == target) focusedTarget = nullptr;
}

bool IsInstalled() { return hookHandle != nullptr; }
int ReferenceCount() { return hookRefCount; }

LRESULT CALLBACK GetMessageHookProc(int code, WPARAM removal, LPARAM message) {
  MSG* msg = reinterpret_cast<MSG*>(message);
  IInputTarget* target = focusedTarget;
  if (target == nullptr || msg == nullptr || code < 0 || removal != PM_REMOVE) {
    return CallNextHookEx(hookHandle, code, removal, message);
  }
  if (Decide(target, msg) == RouteDecision::Intercept) {
    TranslateMessage(msg);
    target->HandleInterceptedMessage(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    msg->message = 0;
    msg->wParam = 0;
    msg->lParam = 0;
  }
  return CallNextHookEx(hookHandle, code, PM_REMOVE, message);
}

}  // namespace MessageHook
