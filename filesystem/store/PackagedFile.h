// An entry stored as is, read straight from its view of the package.
#pragma once

#include "store/ReadOnlyFile.h"

namespace FileSystem {

class FileMappingBuffer;

class PackagedFile final : public ReadOnlyFile {
 public:
  explicit PackagedFile(FileMappingBuffer* view);  // takes ownership
  ~PackagedFile() override;

  bool Read(char* buffer, uint32_t n) override;
  bool Seek(int32_t offset, int origin) override;
  int32_t Tell() override { return static_cast<int32_t>(position_); }
  int32_t GetSize() override { return static_cast<int32_t>(size_); }
  const char* GetBuffer() override { return data_; }
  bool IsBufferOwned() override { return false; }
  bool IsPackaged() override { return true; }

 private:
  FileMappingBuffer* view_;
  const char* data_;
  uint32_t size_;
  uint32_t position_ = 0;
};

}  // namespace FileSystem
