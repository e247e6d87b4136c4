// A loose file loaded on a worker thread, chunk by chunk; readable up to the
// bytes loaded so far.
#pragma once

#include <cstdio>

#include "base/CriticalSection.h"
#include "store/ReadOnlyFile.h"
#include "base/Thread.h"

namespace FileSystem {

class AsynchronismReadUnPackagedFile final : public ReadOnlyFile {
 public:
  explicit AsynchronismReadUnPackagedFile(FILE* file);  // takes ownership
  ~AsynchronismReadUnPackagedFile() override;

  bool Read(char* buffer, uint32_t n) override;
  bool Seek(int32_t offset, int origin) override;
  int32_t Tell() override { return static_cast<int32_t>(position_); }
  int32_t GetSize() override;
  const char* GetBuffer() override;
  bool IsBufferOwned() override { return true; }
  bool IsLoading() override;
  bool IsLoaded() override;
  bool IsFailed() override;
  int32_t GetLoadedSize() override;
  bool IsPackaged() override { return false; }

 private:
  static constexpr uint32_t kChunkSize = 1024;

  static void Run(void* self);
  void Load();
  bool Stopped();
  void Finish(bool loaded);
  void CloseFile();

  FILE* file_;
  char* buffer_ = nullptr;
  uint32_t size_ = 0;
  uint32_t position_ = 0;
  uint32_t loadedSize_ = 0;
  Thread worker_;
  CriticalSection lock_;
  bool stop_ = false;
  bool loading_ = true;
  bool failed_ = false;
  bool loaded_ = false;
};

}  // namespace FileSystem
