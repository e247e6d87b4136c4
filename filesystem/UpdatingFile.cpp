#include "UpdatingFile.h"

#include <cstdlib>
#include <cstring>

#include "HttpDownloader.h"
#include "UpdateEngine.h"

namespace FileSystem {

UpdatingFile::UpdatingFile(const ResourceKey& key, uint32_t version, UpdateEngine* manager)
    : key_(key), version_(version), manager_(manager) {}

UpdatingFile::~UpdatingFile() {
  UpdateEngine* manager = nullptr;
  {
    ScopedLock guard(lock_);
    manager = manager_;
  }
  if (manager != nullptr) manager->RemoveWaitingFile(this);
  std::free(buffer_);
}

// Read and Seek use the buffer without the lock: it is set once, before
// loaded becomes true, and never changed afterwards.
bool UpdatingFile::Read(char* buffer, uint32_t n) {
  if (buffer == nullptr || !IsLoaded() || buffer_ == nullptr) return false;
  const uint64_t end = static_cast<uint64_t>(position_) + n;
  if (end > size_) return false;
  std::memcpy(buffer, buffer_ + position_, n);
  position_ = static_cast<int32_t>(end);
  return true;
}

bool UpdatingFile::Seek(int32_t offset, int origin) {
  const uint32_t size = static_cast<uint32_t>(GetSize());
  int64_t base = 0;
  switch (origin) {
    case 0: base = 0; break;
    case 1: base = position_; break;
    case 2: base = size; break;
    default: return false;
  }
  const int64_t target = base + offset;
  if (target < 0 || target > static_cast<int64_t>(size)) return false;
  position_ = static_cast<int32_t>(target);
  return true;
}

int32_t UpdatingFile::Tell() { return position_; }

int32_t UpdatingFile::GetSize() {
  ScopedLock guard(lock_);
  return static_cast<int32_t>(size_);
}

const char* UpdatingFile::GetBuffer() {
  ScopedLock guard(lock_);
  return buffer_;
}

bool UpdatingFile::IsLoading() {
  ScopedLock guard(lock_);
  return loading_;
}

bool UpdatingFile::IsLoaded() {
  ScopedLock guard(lock_);
  return loaded_;
}

bool UpdatingFile::IsFailed() {
  ScopedLock guard(lock_);
  return failed_;
}

int32_t UpdatingFile::GetLoadedSize() { return GetSize(); }

bool UpdatingFile::IsDownloading() {
  ScopedLock guard(lock_);
  return worker_ != nullptr;
}

bool UpdatingFile::IsDownloadSucceeded() {
  ScopedLock guard(lock_);
  return downloadSucceeded_;
}

bool UpdatingFile::IsDownloadFailed() {
  ScopedLock guard(lock_);
  return downloadFailed_;
}

int32_t UpdatingFile::GetDownloadedSize() {
  ScopedLock guard(lock_);
  if (worker_ == nullptr) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(worker_->GetDownloadedSize()));
}

int32_t UpdatingFile::GetTotalSize() {
  ScopedLock guard(lock_);
  if (worker_ == nullptr) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(worker_->GetTotalSize()));
}

float UpdatingFile::GetSpeed() {
  ScopedLock guard(lock_);
  if (worker_ == nullptr) return 0.0f;
  return static_cast<float>(static_cast<int64_t>(worker_->GetSpeed()));
}

void UpdatingFile::Attach(HttpDownloader* worker) {
  ScopedLock guard(lock_);
  worker_ = worker;
}

bool UpdatingFile::IsAttachedTo(const HttpDownloader* worker) {
  ScopedLock guard(lock_);
  return worker_ == worker;
}

void UpdatingFile::Fill(char* buffer, uint32_t size) {
  ScopedLock guard(lock_);
  std::free(buffer_);
  buffer_ = buffer;
  size_ = size;
  worker_ = nullptr;
  loading_ = false;
  loaded_ = true;
}

void UpdatingFile::MarkFailed() {
  ScopedLock guard(lock_);
  worker_ = nullptr;
  loaded_ = false;
  loading_ = false;
  failed_ = true;
}

void UpdatingFile::MarkDownloadSucceeded() {
  ScopedLock guard(lock_);
  downloadSucceeded_ = true;
  downloadFailed_ = false;
}

void UpdatingFile::MarkDownloadFailed() {
  ScopedLock guard(lock_);
  downloadFailed_ = true;
  downloadSucceeded_ = false;
}

void UpdatingFile::Unlink() {
  ScopedLock guard(lock_);
  manager_ = nullptr;
  worker_ = nullptr;
}

void UpdatingFile::Orphan() {
  ScopedLock guard(lock_);
  manager_ = nullptr;
  worker_ = nullptr;
  if (!loaded_) {
    loading_ = false;
    failed_ = true;
  }
}

}  // namespace FileSystem
