// A package entry loaded (mapped or decoded) on a worker thread.
#pragma once

#include "base/CriticalSection.h"
#include "PackageFormat.h"
#include "store/ReadOnlyFile.h"
#include "base/Thread.h"

namespace FileSystem {

class FileMappingBuffer;
class PackageFile;

class AsynchronismReadPackagedFile final : public ReadOnlyFile {
 public:
  AsynchronismReadPackagedFile(PackageFile* package, const FileIndexEntry& entry);
  ~AsynchronismReadPackagedFile() override;

  bool Read(char* buffer, uint32_t n) override;
  bool Seek(int32_t offset, int origin) override;
  int32_t Tell() override { return static_cast<int32_t>(position_); }
  int32_t GetSize() override;
  const char* GetBuffer() override;
  bool IsBufferOwned() override;
  bool IsLoading() override;
  bool IsLoaded() override;
  bool IsFailed() override;
  int32_t GetLoadedSize() override;
  bool IsPackaged() override { return true; }

 private:
  static void Run(void* self);
  void Load();
  bool Stopped();
  void Finish(bool loaded, uint32_t loadedSize);
  const char* DataLocked() const;

  PackageFile* package_;
  FileIndexEntry entry_;
  FileMappingBuffer* view_ = nullptr;
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
