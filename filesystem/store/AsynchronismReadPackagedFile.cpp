#include "store/AsynchronismReadPackagedFile.h"

#include "BufferCursor.h"
#include "store/DecodeBuffers.h"
#include "EntryCodec.h"
#include "store/FileMappingBuffer.h"
#include "store/PackageFile.h"

namespace FileSystem {

AsynchronismReadPackagedFile::AsynchronismReadPackagedFile(PackageFile* package,
                                                           const FileIndexEntry& entry)
    : package_(package), entry_(entry) {
  if (!worker_.Start(&Run, this)) {
    loading_ = false;
    failed_ = true;
  }
}

AsynchronismReadPackagedFile::~AsynchronismReadPackagedFile() {
  {
    ScopedLock guard(lock_);
    stop_ = true;
  }
  worker_.Join();
  DecodeBuffers::Give(buffer_, size_);
  delete view_;
}

void AsynchronismReadPackagedFile::Run(void* self) {
  static_cast<AsynchronismReadPackagedFile*>(self)->Load();
}

bool AsynchronismReadPackagedFile::Stopped() {
  ScopedLock guard(lock_);
  return stop_;
}

void AsynchronismReadPackagedFile::Finish(bool loaded, uint32_t loadedSize) {
  ScopedLock guard(lock_);
  if (loaded) {
    loaded_ = true;
    loadedSize_ = loadedSize;
  } else {
    failed_ = true;
  }
  stop_ = true;
  loading_ = false;
}

void AsynchronismReadPackagedFile::Load() {
  if (Stopped()) return;
  const uint32_t size = entry_.size;
  {
    ScopedLock guard(lock_);
    size_ = size;
  }
  if (entry_.storedSize == 0) {
    if (size != 0) return Finish(false, 0);
    char* empty = DecodeBuffers::Take(0);
    if (empty == nullptr) return Finish(false, 0);
    empty[0] = 0;
    {
      ScopedLock guard(lock_);
      buffer_ = empty;
    }
    return Finish(true, 0);
  }
  if (Stopped()) return;
  FileMappingBuffer* view = package_->MapEntry(entry_);
  if (view == nullptr) return Finish(false, 0);
  const int method = StoredMethod(entry_.method);
  if (method == kMethodStored) {
    const bool valid =
        CheckEntryContent(method, view->Data(), view->Size(), size) == EntryDecodeResult::kDecoded;
    if (!valid) {
      delete view;
      return Finish(false, 0);
    }
    {
      ScopedLock guard(lock_);
      view_ = view;
    }
    return Finish(true, size);
  }
  EntryDecodeResult result;
  char* buffer = DecodeBuffers::Decode(method, view->Data(), view->Size(), size, &result);
  delete view;
  if (buffer == nullptr) return Finish(false, 0);
  {
    ScopedLock guard(lock_);
    buffer_ = buffer;
  }
  Finish(true, size);
}

const char* AsynchronismReadPackagedFile::DataLocked() const {
  if (!loaded_) return nullptr;
  if (buffer_ != nullptr) return buffer_;
  return view_ != nullptr ? reinterpret_cast<const char*>(view_->Data()) : nullptr;
}

bool AsynchronismReadPackagedFile::Read(char* buffer, uint32_t n) {
  ScopedLock guard(lock_);
  if (!loaded_) return false;
  return CursorRead(DataLocked(), loadedSize_, &position_, buffer, n);
}

bool AsynchronismReadPackagedFile::Seek(int32_t offset, int origin) {
  ScopedLock guard(lock_);
  return CursorSeek(size_, &position_, offset, origin);
}

int32_t AsynchronismReadPackagedFile::GetSize() {
  ScopedLock guard(lock_);
  return static_cast<int32_t>(size_);
}

const char* AsynchronismReadPackagedFile::GetBuffer() {
  ScopedLock guard(lock_);
  return DataLocked();
}

bool AsynchronismReadPackagedFile::IsBufferOwned() {
  ScopedLock guard(lock_);
  return loaded_ && buffer_ != nullptr;
}

bool AsynchronismReadPackagedFile::IsLoading() {
  ScopedLock guard(lock_);
  return loading_;
}

bool AsynchronismReadPackagedFile::IsLoaded() {
  ScopedLock guard(lock_);
  return loaded_;
}

bool AsynchronismReadPackagedFile::IsFailed() {
  ScopedLock guard(lock_);
  return failed_;
}

int32_t AsynchronismReadPackagedFile::GetLoadedSize() {
  ScopedLock guard(lock_);
  return static_cast<int32_t>(loadedSize_);
}

}  // namespace FileSystem
