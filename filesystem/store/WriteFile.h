// A plain file opened for writing through the C run-time.
#pragma once

#include <cstdio>

#include "FileSystem.h"

namespace FileSystem {

class WriteFile final : public IWriteFile {
 public:
  // The file at path, created or emptied, or appended to; null when it
  // cannot be opened.
  static IWriteFile* Open(const char* path, bool append);

  explicit WriteFile(FILE* file);  // takes ownership
  ~WriteFile() override;

  bool Write(const void* buffer, uint32_t n) override;
  bool Seek(int32_t offset, int origin) override;
  int32_t Tell() override;
  int Flush() override;
  void Release() override { delete this; }

 private:
  FILE* file_;
};

}  // namespace FileSystem
