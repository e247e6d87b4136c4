// An auto-reset event a loop waits on between its passes: whoever hands the
// loop new work sets it, so the loop looks again at once instead of after
// its next poll. A wait is always bounded, so a change that nobody signals
// is still seen on the next pass.
#pragma once

#include <windows.h>

namespace FileSystem {

class WakeEvent {
 public:
  WakeEvent();
  ~WakeEvent();
  WakeEvent(const WakeEvent&) = delete;
  WakeEvent& operator=(const WakeEvent&) = delete;

  void Set();
  // Returns when the event is set (and resets it) or after timeoutMs.
  void Wait(DWORD timeoutMs);

 private:
  HANDLE handle_;
};

}  // namespace FileSystem
