#include "update/PackageAdder.h"

#include <cstdlib>

#include "FileSystem.h"
#include "base/LogManager.h"
#include "store/PackageManager.h"
#include "update/StopFlags.h"
#include "update/UpdateEngine.h"
#include "update/WaitingFiles.h"

namespace FileSystem {

PackageAdder::PackageAdder(CriticalSection& lock, StopFlags& stops, WaitingFiles& waiting,
                           UpdateEngine& engine)
    : lock_(lock), stops_(stops), waiting_(waiting), engine_(engine) {}

PackageAdder::~PackageAdder() { Clear(); }

bool PackageAdder::Start(LogManager& log, PackageManager& packages) {
  log_ = &log;
  packages_ = &packages;
  return thread_.Start(&PackageAdder::Main, this);
}

void PackageAdder::Join() { thread_.Join(); }

void PackageAdder::Queue(const DownloadedPackage& package) {
  ScopedLock guard(lock_);
  queue_.push_back(package);
  ++queuedKeys_[package.key];
  wake_.Set();
}

bool PackageAdder::IsQueued(const ResourceKey& key) {
  ScopedLock guard(lock_);
  return queuedKeys_.count(key) != 0;
}

void PackageAdder::Clear() {
  ScopedLock guard(lock_);
  for (DownloadedPackage& package : queue_) delete[] package.image;
  queue_.clear();
  queuedKeys_.clear();
}

void PackageAdder::Main(void* self) { static_cast<PackageAdder*>(self)->Run(); }

void PackageAdder::Run() {
  while (!stops_.AdderStopping()) {
    DownloadedPackage package;
    bool have = false;
    {
      ScopedLock guard(lock_);
      if (!queue_.empty()) {
        package = queue_.front();
        have = true;
      }
    }
    if (!have) {
      wake_.Wait(kPassWaitMs);
      continue;
    }
    if (stops_.AdderStopping()) return;
    // Takes the package off the queue once its files are filled or failed.
    Add(package);
    delete[] package.image;
  }
}

void PackageAdder::Add(const DownloadedPackage& package) {
  LogManager& log = *log_;
  const ResourceKey& key = package.key;
  log.Log(kLogInfo, "begin add file to package, %08x_%08x_%u.pak, size %u.", key.hash1,
          key.hash2, package.version, package.size);
  const bool waiting = waiting_.Has(key, package.version);
  char* buffer = nullptr;
  uint32_t size = 0;
  const bool added = packages_->AddDownloadPackage(
      package.image, package.size, key.hash1, key.hash2, package.version,
      waiting ? &buffer : nullptr, waiting ? &size : nullptr);
  if (added && (!waiting || buffer != nullptr)) {
    log.Log(kLogInfo, "add file to package success, %08x_%08x_%u.pak, size %u.", key.hash1,
            key.hash2, package.version, package.size);
    Filled(package, buffer, size);
    return;
  }
  std::free(buffer);
  log.Log(kLogError, "add file to package failed, %08x_%08x_%u.pak, size %u.", key.hash1,
          key.hash2, package.version, package.size);
  Failed(package);
}

// One step under the lock, so no reader sees the files loaded while their
// package still counts as in flight.
void PackageAdder::Filled(const DownloadedPackage& package, char* buffer, uint32_t size) {
  ScopedLock guard(lock_);
  waiting_.Fill(package.key, package.version, buffer, size);
  TakeOffFirst();
  engine_.PackageAdded(package.key);
}

void PackageAdder::Failed(const DownloadedPackage& package) {
  ScopedLock guard(lock_);
  waiting_.Fail(package.key, package.version, false);
  TakeOffFirst();
  engine_.PackageRefused(package.key, package.restartBudget);
}

// Under the lock. Only this thread takes packages off the queue, so the
// first one is the one just handled. Its image is the adder's to free, after
// the lock: giving megabytes back to the system is slow enough to stall the
// scheduler and the host's queries behind it.
void PackageAdder::TakeOffFirst() {
  const auto counted = queuedKeys_.find(queue_.front().key);
  if (counted != queuedKeys_.end() && --counted->second <= 0) queuedKeys_.erase(counted);
  queue_.pop_front();
}

}  // namespace FileSystem
