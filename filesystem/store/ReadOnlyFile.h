// The base of the file objects whose content is a resource already on hand:
// they never download, so every download-side operation has the one answer
// given here, and they are complete once made unless a worker loads them
// (whose classes answer the loading operations themselves).
#pragma once

#include "FileSystem.h"

namespace FileSystem {

class ReadOnlyFile : public IReadFile {
 public:
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
  void Release() override { delete this; }
};

}  // namespace FileSystem
