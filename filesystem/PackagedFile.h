// An entry stored as is, read straight from its view of the package.
#pragma once

#include "FileSystem.h"

namespace FileSystem {

class FileMappingBuffer;

class PackagedFile final : public IReadFile {
 public:
  explicit PackagedFile(FileMappingBuffer* view);  // takes ownership
  ~PackagedFile() override;

  bool Read(char* buffer, uint32_t n) override;
  bool Seek(int32_t offset, int origin) override;
  int32_t Tell() override { return static_cast<int32_t>(position_); }
  int32_t GetSize() override { return static_cast<int32_t>(size_); }
  const char* GetBuffer() override { return data_; }
  bool IsBufferOwned() override { return false; }
  bool IsLoading() override { return false; }
  bool IsLoaded() override { return true; }
  bool IsFailed() override { return false; }
  int32_t GetLoadedSize() override { return static_cast<int32_t>(size_); }
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
  FileMappingBuffer* view_;
  const char* data_;
  uint32_t size_;
  uint32_t position_ = 0;
};

}  // namespace FileSystem
