#include "store/FileLock.h"

#include "base/KillPoints.h"

namespace FileSystem {

FileLock::FileLock(HANDLE file) : file_(file) {
  ZeroMemory(&overlapped_, sizeof overlapped_);
  overlapped_.Offset = kOffset;
  KillPoints::Reach("store.lock");
  if (file_ != nullptr && file_ != INVALID_HANDLE_VALUE)
    locked_ = LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, kLength, 0, &overlapped_) != 0;
}

FileLock::~FileLock() {
  if (locked_) UnlockFileEx(file_, 0, kLength, 0, &overlapped_);
}

}  // namespace FileSystem
