// A decoded entry held in memory; its buffer has one 0 byte after the
// content.
#pragma once

#include "FileSystem.h"

namespace FileSystem {

class MemoryFile final : public IReadFile {
 public:
  // Takes ownership of a malloc'ed buffer of size + 1 bytes.
  MemoryFile(char* buffer, uint32_t size);
  // An empty file: a one-byte buffer holding 0; null when out of memory.
  static MemoryFile* CreateEmpty();
  ~MemoryFile() override;

  bool Read(char* buffer, uint32_t n) override;
  bool Seek(int32_t offset, int origin) override;
  int32_t Tell() override { return static_cast<int32_t>(position_); }
  int32_t GetSize() override { return static_cast<int32_t>(size_); }
  const char* GetBuffer() override { return buffer_; }
  bool IsBufferOwned() override { return true; }
  bool IsLoading() override { return false; }
  bool IsLoaded() override { return true; }
  bool IsFailed() override { return false; }
  int32_t GetLoadedSize() override { return GetSize(); }
  bool IsDownloading() override { return false; }
  bool IsDownloadSucceeded() override { return true; }
  bool IsDownloadFailed() override { return false; }
  int32_t GetDownloadedSize() override { return 0; }
  int32_t GetTotalSize() override { return 0; }
  float GetSpeed() override { return 0.0f; }
  uint32_t GetVersion() override { return 0; }
  bool IsPackaged() override { return true; }
  void Release() override { delete this; }

 private:
  char* buffer_;
  uint32_t size_;
  uint32_t position_ = 0;
};

}  // namespace FileSystem
