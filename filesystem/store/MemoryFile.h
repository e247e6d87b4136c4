// A decoded entry held in memory; its buffer has one 0 byte after the
// content.
#pragma once

#include "store/ReadOnlyFile.h"

namespace FileSystem {

class MemoryFile final : public ReadOnlyFile {
 public:
  // Takes ownership of a buffer of DecodeBuffers::Take(size).
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
  bool IsPackaged() override { return true; }

 private:
  char* buffer_;
  uint32_t size_;
  uint32_t position_ = 0;
};

}  // namespace FileSystem
