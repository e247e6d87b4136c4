// The exclusive lock on bytes 0 to 3 of a package file that every reader and
// writer of its index holds, across processes. It waits until it is granted.
#pragma once

#include <windows.h>

namespace FileSystem {

class FileLock {
 public:
  explicit FileLock(HANDLE file);
  virtual ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool IsLocked() const { return locked_; }

 private:
  static constexpr DWORD kOffset = 0;
  static constexpr DWORD kLength = 4;

  HANDLE file_;
  OVERLAPPED overlapped_;
  bool locked_ = false;
};

}  // namespace FileSystem
