#include "update/UpdatingFile.h"

#include <cstdlib>

#include "BufferCursor.h"
#include "net/HttpDownloader.h"
#include "update/UpdateEngine.h"

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
  if (!IsLoaded() || buffer_ == nullptr) return false;
  return CursorRead(buffer_, size_, &position_, buffer, n);
}

bool UpdatingFile::Seek(int32_t offset, int origin) {
  return CursorSeek(static_cast<uint32_t>(GetSize()), &position_, offset, origin);
}

int32_t UpdatingFile::Tell() { return static_cast<int32_t>(position_); }

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
