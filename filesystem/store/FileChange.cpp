#include "store/FileChange.h"

#include "FileSystem.h"
#include "base/LogManager.h"

namespace FileSystem {

namespace {

bool IsReadOnly(const char* path) {
  if (path == nullptr) return false;
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace

bool FileChange::IsBriefHold(DWORD error, const char* path, const char* other) {
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return true;
  return error == ERROR_ACCESS_DENIED && !IsReadOnly(path) && !IsReadOnly(other);
}

template <typename Change>
bool FileChange::Retried(Change change, const char* path, const char* other) {
  DWORD wait = kFirstWaitMs;
  for (int attempt = 1;; ++attempt) {
    if (change()) {
      lastError_ = 0;
      return true;
    }
    lastError_ = GetLastError();
    if (attempt == kAttempts || !IsBriefHold(lastError_, path, other)) return false;
    if (hook_ != nullptr) hook_(hookContext_, attempt, lastError_);
    Sleep(wait);
    wait *= 2;
  }
}

template <typename Change>
bool FileChange::EvenIfReadOnly(const char* marked, Change change, const char* other) {
  if (Retried(change, marked, other)) return true;
  const DWORD attributes = GetFileAttributesA(marked);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0)
    return false;
  SetFileAttributesA(marked, attributes & ~FILE_ATTRIBUTE_READONLY);
  if (Retried(change, marked, other)) return true;
  SetFileAttributesA(marked, attributes);
  return false;
}

void FileChange::LogFailure(const char* what, const char* path, const char* to) {
  if (log_ == nullptr) return;
  const unsigned long code = lastError_;
  if (to == nullptr)
    log_->Log(kLogWarning, "%s file \"%s\" failed, system error %lu.", what, path, code);
  else
    log_->Log(kLogWarning, "%s file \"%s\" to \"%s\" failed, system error %lu.", what, path, to,
              code);
}

bool FileChange::Delete(const char* path) {
  if (path == nullptr) return false;
  const auto remove = [&] { return DeleteFileA(path) != 0; };
  if (EvenIfReadOnly(path, remove, nullptr)) return true;
  LogFailure("Delete", path, nullptr);
  return false;
}

bool FileChange::Replace(const char* from, const char* to) {
  if (from == nullptr || to == nullptr) return false;
  const auto replace = [&] { return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0; };
  if (EvenIfReadOnly(to, replace, from)) return true;
  LogFailure("Replace", from, to);
  return false;
}

bool FileChange::Rename(const char* from, const char* to) {
  if (from == nullptr || to == nullptr) return false;
  if (Retried([&] { return MoveFileA(from, to) != 0; }, from, to)) return true;
  LogFailure("Rename", from, to);
  return false;
}

}  // namespace FileSystem
