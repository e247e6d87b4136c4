// The thread every worker of the library runs on: started on a callback and
// joined without time limit. Stopping the work is the owner's business.
#pragma once

#include <windows.h>

namespace FileSystem {

class Thread {
 public:
  using Callback = void (*)(void* argument);

  Thread() = default;
  virtual ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // False when a thread is held already (joined or not yet) or cannot start.
  bool Start(Callback callback, void* argument);
  // Waits for the held thread, if any, and releases it; then it can start again.
  void Join();
  bool IsStarted() const { return handle_ != nullptr; }

 private:
  static unsigned __stdcall Entry(void* self);

  HANDLE handle_ = nullptr;
  Callback callback_ = nullptr;
  void* argument_ = nullptr;
};

}  // namespace FileSystem
