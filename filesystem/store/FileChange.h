// Deletes and renames of files on disk. Another process may hold a file for
// a moment (a virus scanner, an indexer, a backup reading it), and a change
// made just then fails with a sharing or lock violation; each change is
// therefore tried a few times with a short back-off before it counts as
// failed. A file marked read-only is ours to change all the same: the mark
// is cleared for the change and put back should it fail. A change that
// fails for good is logged with the system's error code.
#pragma once

#include <windows.h>

namespace FileSystem {

class LogManager;

class FileChange {
 public:
  // How many times a change is tried, and the first wait between tries
  // (doubled after each): at most 150 ms of waiting in all.
  static constexpr int kAttempts = 5;
  static constexpr DWORD kFirstWaitMs = 10;

  // Called after each failed try that will be tried again, with the try's
  // number (from 1) and its error; lets a test act between tries.
  using RetryHook = void (*)(void* context, int attempt, DWORD error);

  // log may be null: a failure is then only in LastError.
  explicit FileChange(LogManager* log) : log_(log) {}

  bool Delete(const char* path);
  // Renames from over an existing file at to.
  bool Replace(const char* from, const char* to);
  // Renames from to a name that is free.
  bool Rename(const char* from, const char* to);

  // The error of the last failed change, 0 after a success.
  DWORD LastError() const { return lastError_; }
  // The error says another process held the file at that moment. An access
  // denial counts only where no read-only mark explains it: a file that is
  // being deleted, or held by some scanners, answers that way too.
  static bool IsBriefHold(DWORD error, const char* path, const char* other);

  void SetRetryHook(RetryHook hook, void* context) {
    hook_ = hook;
    hookContext_ = context;
  }

 private:
  template <typename Change>
  bool Retried(Change change, const char* path, const char* other);
  template <typename Change>
  bool EvenIfReadOnly(const char* marked, Change change, const char* other);
  void LogFailure(const char* what, const char* path, const char* to);

  LogManager* log_;
  DWORD lastError_ = 0;
  RetryHook hook_ = nullptr;
  void* hookContext_ = nullptr;
};

}  // namespace FileSystem
