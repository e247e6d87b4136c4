#include "base/WakeEvent.h"

namespace FileSystem {

WakeEvent::WakeEvent() : handle_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

WakeEvent::~WakeEvent() {
  if (handle_ != nullptr) CloseHandle(handle_);
}

void WakeEvent::Set() {
  if (handle_ != nullptr) SetEvent(handle_);
}

// Without an event (creation failed) the wait is the plain poll it replaces.
void WakeEvent::Wait(DWORD timeoutMs) {
  if (handle_ == nullptr || WaitForSingleObject(handle_, timeoutMs) == WAIT_FAILED)
    Sleep(timeoutMs);
}

}  // namespace FileSystem
