// The files handed out while their content is still coming, newest first:
// the scheduler fetches what they wait for before anything else, the
// collection of a failed download and the adder thread end their wait.
// The host may release a file at any moment; it then takes itself off.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "base/CriticalSection.h"
#include "ResourceName.h"

namespace FileSystem {

class HttpDownloader;
class UpdateEngine;
class UpdatingFile;

class WaitingFiles {
 public:
  // A waiting file's key and the version it waits for.
  using Wanted = std::pair<ResourceKey, uint32_t>;

  // Guards the list with the update manager's lock; each file's own lock
  // is taken inside it.
  explicit WaitingFiles(CriticalSection& lock);
  WaitingFiles(const WaitingFiles&) = delete;
  WaitingFiles& operator=(const WaitingFiles&) = delete;

  // A new file at the head of the list; null when it cannot be made.
  UpdatingFile* Insert(const ResourceKey& key, uint32_t version, UpdateEngine* engine);
  // A file that goes away.
  void Remove(UpdatingFile* file);
  // The manager goes away: every file still listed fails and forgets it.
  void OrphanAll();

  size_t Count();
  bool Has(const ResourceKey& key, uint32_t version);
  // Newest first.
  std::vector<Wanted> WantedNewestFirst();

  // Every file of the key, whatever its version, follows the worker.
  void Attach(const ResourceKey& key, HttpDownloader* worker);
  // No file stays attached to a worker whose task has ended.
  void Detach(const HttpDownloader* worker);
  void MarkDownloadSucceeded(const ResourceKey& key, uint32_t version);
  // The package will not come: its files fail and leave the list, marked
  // download-failed too when its download failed for good rather than the
  // package could not be added.
  void Fail(const ResourceKey& key, uint32_t version, bool downloadFailed);
  // Takes the buffer (malloc'd, size bytes and a 0 byte): the first file of
  // the key and version gets it, every further one a copy of its own; all
  // leave the list. Freed when no file waits.
  void Fill(const ResourceKey& key, uint32_t version, char* buffer, uint32_t size);

 private:
  // Under the lock.
  std::vector<UpdatingFile*> FilesOf(const ResourceKey& key, uint32_t version);
  void TakeOff(UpdatingFile* file);

  CriticalSection& lock_;
  std::vector<UpdatingFile*> files_;
};

}  // namespace FileSystem
