// A loose file read through the C run-time until its whole content is
// asked for, then served from memory.
#pragma once

#include <cstdio>

#include "store/ReadOnlyFile.h"

namespace FileSystem {

class UnPackagedFile final : public ReadOnlyFile {
 public:
  explicit UnPackagedFile(FILE* file);  // takes ownership
  ~UnPackagedFile() override;

  bool Read(char* buffer, uint32_t n) override;
  bool Seek(int32_t offset, int origin) override;
  int32_t Tell() override;
  int32_t GetSize() override { return size_; }
  const char* GetBuffer() override;
  bool IsBufferOwned() override { return true; }
  bool IsPackaged() override { return false; }

 private:
  FILE* file_;
  char* buffer_ = nullptr;
  int32_t size_ = 0;
  uint32_t position_ = 0;
};

}  // namespace FileSystem
