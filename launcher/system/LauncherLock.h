// The launcher's lock: a CRITICAL_SECTION owned by one object, and the scoped
// guard every locked region holds.
#pragma once

#include <windows.h>

class LauncherLock {
 public:
  LauncherLock() { InitializeCriticalSection(&section_); }
  ~LauncherLock() { DeleteCriticalSection(&section_); }
  void Enter() { EnterCriticalSection(&section_); }
  void Leave() { LeaveCriticalSection(&section_); }

 private:
  LauncherLock(const LauncherLock&) = delete;
  LauncherLock& operator=(const LauncherLock&) = delete;
  CRITICAL_SECTION section_;
};

class LauncherLockGuard {
 public:
  explicit LauncherLockGuard(LauncherLock& section) : section_(section) { section_.Enter(); }
  ~LauncherLockGuard() { section_.Leave(); }

 private:
  LauncherLockGuard(const LauncherLockGuard&) = delete;
  LauncherLockGuard& operator=(const LauncherLockGuard&) = delete;
  LauncherLock& section_;
};
