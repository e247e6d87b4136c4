#include "store/AsynchronismReadUnPackagedFile.h"

#include <cstdlib>

#include "BufferCursor.h"

namespace FileSystem {

AsynchronismReadUnPackagedFile::AsynchronismReadUnPackagedFile(FILE* file) : file_(file) {
  if (!worker_.Start(&Run, this)) {
    loading_ = false;
    failed_ = true;
    CloseFile();
  }
}

AsynchronismReadUnPackagedFile::~AsynchronismReadUnPackagedFile() {
  {
    ScopedLock guard(lock_);
    stop_ = true;
  }
  worker_.Join();
  std::free(buffer_);
  // The worker closes the file at its end; whoever closes it clears it, so it
  // is closed exactly once.
  CloseFile();
}

void AsynchronismReadUnPackagedFile::CloseFile() {
  FILE* file;
  {
    ScopedLock guard(lock_);
    file = file_;
    file_ = nullptr;
  }
  if (file != nullptr) std::fclose(file);
}

void AsynchronismReadUnPackagedFile::Run(void* self) {
  auto* file = static_cast<AsynchronismReadUnPackagedFile*>(self);
  file->Load();
  file->CloseFile();
}

bool AsynchronismReadUnPackagedFile::Stopped() {
  ScopedLock guard(lock_);
  return stop_;
}

void AsynchronismReadUnPackagedFile::Finish(bool loaded) {
  ScopedLock guard(lock_);
  if (loaded) loaded_ = true;
  else failed_ = true;
  stop_ = true;
  loading_ = false;
}

void AsynchronismReadUnPackagedFile::Load() {
  if (Stopped()) return;
  long end = -1;
  if (std::fseek(file_, 0, SEEK_END) == 0) end = std::ftell(file_);
  if (end < 0) return Finish(false);
  const uint32_t size = static_cast<uint32_t>(end);
  if (Stopped()) return;
  char* buffer = static_cast<char*>(std::malloc(static_cast<size_t>(size) + 1));
  if (buffer == nullptr) return Finish(false);
  buffer[size] = 0;
  {
    ScopedLock guard(lock_);
    buffer_ = buffer;
    size_ = size;
  }
  if (Stopped()) return;
  if (std::fseek(file_, 0, SEEK_SET) != 0) return Finish(false);
  uint32_t loaded = 0;
  while (loaded < size) {
    if (Stopped()) return;
    const uint32_t chunk = size - loaded < kChunkSize ? size - loaded : kChunkSize;
    const size_t got = std::fread(buffer + loaded, 1, chunk, file_);
    loaded += static_cast<uint32_t>(got);
    {
      ScopedLock guard(lock_);
      loadedSize_ = loaded;
    }
    if (got < chunk) return Finish(false);
    Sleep(1);
  }
  Finish(true);
}

bool AsynchronismReadUnPackagedFile::Read(char* buffer, uint32_t n) {
  ScopedLock guard(lock_);
  return CursorRead(buffer_, loadedSize_, &position_, buffer, n);
}

bool AsynchronismReadUnPackagedFile::Seek(int32_t offset, int origin) {
  ScopedLock guard(lock_);
  return CursorSeek(size_, &position_, offset, origin);
}

int32_t AsynchronismReadUnPackagedFile::GetSize() {
  ScopedLock guard(lock_);
  return static_cast<int32_t>(size_);
}

const char* AsynchronismReadUnPackagedFile::GetBuffer() {
  ScopedLock guard(lock_);
  return buffer_;
}

bool AsynchronismReadUnPackagedFile::IsLoading() {
  ScopedLock guard(lock_);
  return loading_;
}

bool AsynchronismReadUnPackagedFile::IsLoaded() {
  ScopedLock guard(lock_);
  return loaded_;
}

bool AsynchronismReadUnPackagedFile::IsFailed() {
  ScopedLock guard(lock_);
  return failed_;
}

int32_t AsynchronismReadUnPackagedFile::GetLoadedSize() {
  ScopedLock guard(lock_);
  return static_cast<int32_t>(loadedSize_);
}

}  // namespace FileSystem
