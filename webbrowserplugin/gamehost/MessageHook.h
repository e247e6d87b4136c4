// The thread-wide WH_GETMESSAGE hook that every instance of one plug-in
// library shares. It acts for the instance that has the keyboard focus:
// a key or mouse message that its key routing intercepts is translated,
// handed to that instance and blanked, so the browser never sees it.
#pragma once

#include <windows.h>

class KeyRouting;

// The instance the hook acts for (the Netscape-API plug-in instance, or the
// active control).
class IInputTarget {
 public:
  virtual KeyRouting& GetKeyRouting() = 0;
  virtual HWND GetInputWindow() = 0;
  // An intercepted message, with the message's own window.
  virtual LRESULT HandleInterceptedMessage(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) = 0;

 protected:
  ~IInputTarget() {}
};

namespace MessageHook {

// Takes a reference on the hook, installing it on the calling thread with
// module when none exists. False when the install failed (the caller then
// does not hold the hook and must not release it).
bool Acquire(HMODULE module);
// Drops a reference; the last one removes the hook. A target that is
// focused is forgotten first by the caller (SetFocused(nullptr)).
void Release();

void SetFocused(IInputTarget* target);
IInputTarget* GetFocused();
// Forgets target when it is the focused one.
void ForgetTarget(IInputTarget* target);

bool IsInstalled();
int ReferenceCount();

// The hook procedure itself, exposed so tests can drive it with a MSG.
LRESULT CALLBACK GetMessageHookProc(int code, WPARAM removal, LPARAM message);

}  // namespace MessageHook
