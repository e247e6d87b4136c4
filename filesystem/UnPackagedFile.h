// A loose file read through the C run-time until its whole content is
// asked for, then served from memory.
#pragma once

#include <cstdio>

#include "FileSystem.h"

namespace FileSystem {

class UnPackagedFile final : public IReadFile {
 public:
  explicit UnPackagedFile(FILE* file);  // takes ownership
  ~UnPackagedFile() override;

  bool Read(char* buffer, uint32_t n) override;
  bool Seek(int32_t offset, int origin) override;
  int32_t Tell() override;
  int32_t GetSize() override { return size_; }
  const char* GetBuffer() override;
  bool IsBufferOwned() override { return true; }
  bool IsLoading() override { return false; }
  bool IsLoaded() override { return true; }
  bool IsFailed() override { return false; }
  int32_t GetLoadedSize() override { return size_; }
  bool IsDownloading() override { return false; }
  bool IsDownloadSucceeded() override { return true; }
  bool IsDownloadFailed() override { return false; }
  int32_t GetDownloadedSize() override { return 0; }
  int32_t GetTotalSize() override { return 0; }
  float GetSpeed() override { return 0.0f; }
  uint32_t GetVersion() override { return 0; }
  bool IsPackaged() override { return false; }
  void Release() override { delete this; }

 private:
  FILE* file_;
  char* buffer_ = nullptr;
  int32_t size_ = 0;
  uint32_t position_ = 0;
};

}  // namespace FileSystem
