// A file handed out while its data is still being downloaded: it reports
// loading until the update manager's adder thread fills it with the decoded
// content (or marks it failed), and then serves that content from memory.
// The update manager keeps it on its waiting list until then.
#pragma once

#include <cstdint>

#include "base/CriticalSection.h"
#include "FileSystem.h"
#include "ResourceName.h"

namespace FileSystem {

class HttpDownloader;
class UpdateEngine;

class UpdatingFile final : public IReadFile {
 public:
  UpdatingFile(const ResourceKey& key, uint32_t version, UpdateEngine* manager);
  ~UpdatingFile() override;
  UpdatingFile(const UpdatingFile&) = delete;
  UpdatingFile& operator=(const UpdatingFile&) = delete;

  bool Read(char* buffer, uint32_t n) override;
  bool Seek(int32_t offset, int origin) override;
  int32_t Tell() override;
  int32_t GetSize() override;
  const char* GetBuffer() override;
  bool IsBufferOwned() override { return true; }
  bool IsLoading() override;
  bool IsLoaded() override;
  bool IsFailed() override;
  int32_t GetLoadedSize() override;
  bool IsDownloading() override;
  bool IsDownloadSucceeded() override;
  bool IsDownloadFailed() override;
  int32_t GetDownloadedSize() override;
  int32_t GetTotalSize() override;
  float GetSpeed() override;
  uint32_t GetVersion() override { return version_; }
  bool IsPackaged() override { return false; }
  void Release() override { delete this; }

  // The update manager's side, called under its lock.
  const ResourceKey& Key() const { return key_; }
  void Attach(HttpDownloader* worker);
  bool IsAttachedTo(const HttpDownloader* worker);
  // Takes the buffer (allocated with malloc, size bytes and a 0 byte).
  void Fill(char* buffer, uint32_t size);
  void MarkFailed();
  void MarkDownloadSucceeded();
  void MarkDownloadFailed();
  // Taken off the waiting list: the file forgets the manager and the worker.
  void Unlink();
  // The manager is going away: a file still waiting fails and forgets it.
  void Orphan();

 private:
  const ResourceKey key_;
  const uint32_t version_;
  UpdateEngine* manager_;
  HttpDownloader* worker_ = nullptr;
  CriticalSection lock_;
  char* buffer_ = nullptr;
  uint32_t size_ = 0;
  uint32_t position_ = 0;
  bool loading_ = true;
  bool failed_ = false;
  bool loaded_ = false;
  bool downloadFailed_ = false;
  bool downloadSucceeded_ = false;
};

}  // namespace FileSystem
