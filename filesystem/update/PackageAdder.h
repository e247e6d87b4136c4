// The finished downloads waiting to be added into the local packages, and
// the thread that adds them one at a time and fills or fails the files
// waiting for them. A queued package counts as in flight until it has been
// handled.
#pragma once

#include <cstdint>
#include <deque>
#include <map>

#include "base/CriticalSection.h"
#include "ResourceName.h"
#include "base/Thread.h"
#include "base/WakeEvent.h"

namespace FileSystem {

class LogManager;
class PackageManager;
class StopFlags;
class UpdateEngine;
class WaitingFiles;

// One finished download.
struct DownloadedPackage {
  ResourceKey key{0, 0};
  uint32_t version = 0;
  // The worker's restart budget left when it was collected.
  int restartBudget = 0;
  uint8_t* image = nullptr;  // new[]; the adder's once queued
  uint32_t size = 0;
};

class PackageAdder {
 public:
  // Guards the queue with the update manager's lock; tells the engine, under
  // that lock, what came of each package.
  PackageAdder(CriticalSection& lock, StopFlags& stops, WaitingFiles& waiting,
               UpdateEngine& engine);
  ~PackageAdder();
  PackageAdder(const PackageAdder&) = delete;
  PackageAdder& operator=(const PackageAdder&) = delete;

  bool Start(LogManager& log, PackageManager& packages);
  void Join();
  bool IsStarted() const { return thread_.IsStarted(); }

  void Queue(const DownloadedPackage& package);
  bool IsQueued(const ResourceKey& key);
  // Frees the images of the packages still queued; the thread has ended.
  void Clear();

 private:
  // The longest wait between two passes when nothing is queued.
  static constexpr DWORD kPassWaitMs = 1;

  static void Main(void* self);
  void Run();
  void Add(const DownloadedPackage& package);
  void Filled(const DownloadedPackage& package, char* buffer, uint32_t size);
  void Failed(const DownloadedPackage& package);
  void TakeOffFirst();

  CriticalSection& lock_;
  StopFlags& stops_;
  WaitingFiles& waiting_;
  UpdateEngine& engine_;
  LogManager* log_ = nullptr;
  PackageManager* packages_ = nullptr;
  std::deque<DownloadedPackage> queue_;
  // How many packages of each key the queue holds: the in-flight test runs
  // for every key a scheduling pass looks at, while the queue can grow long
  // when downloads outpace the adder.
  std::map<ResourceKey, int> queuedKeys_;
  // Set when a package is queued.
  WakeEvent wake_;
  Thread thread_;
};

}  // namespace FileSystem
