#include "update/StopFlags.h"

namespace FileSystem {

StopFlags::StopFlags(CriticalSection& lock) : lock_(lock) {}

void StopFlags::Reset() {
  ScopedLock guard(lock_);
  stopAll_ = stopInitialisation_ = stopAdder_ = false;
}

void StopFlags::StopEverything() {
  ScopedLock guard(lock_);
  stopAdder_ = true;
  stopAll_ = true;
  stopInitialisation_ = true;
}

void StopFlags::StopInitialisation() {
  ScopedLock guard(lock_);
  stopInitialisation_ = true;
}

bool StopFlags::ResumeInitialisation() {
  ScopedLock guard(lock_);
  if (stopAll_) return false;
  stopInitialisation_ = false;
  return true;
}

bool StopFlags::Stopping() {
  ScopedLock guard(lock_);
  return stopAll_;
}

bool StopFlags::InitialisationStopping() {
  ScopedLock guard(lock_);
  return stopAll_ || stopInitialisation_;
}

bool StopFlags::AdderStopping() {
  ScopedLock guard(lock_);
  return stopAll_ || stopAdder_;
}

}  // namespace FileSystem
