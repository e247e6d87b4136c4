#include "update/WaitingFiles.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "update/UpdatingFile.h"

namespace FileSystem {

WaitingFiles::WaitingFiles(CriticalSection& lock) : lock_(lock) {}

UpdatingFile* WaitingFiles::Insert(const ResourceKey& key, uint32_t version,
                                   UpdateEngine* engine) {
  UpdatingFile* file = new (std::nothrow) UpdatingFile(key, version, engine);
  if (file == nullptr) return nullptr;
  ScopedLock guard(lock_);
  files_.insert(files_.begin(), file);
  return file;
}

void WaitingFiles::Remove(UpdatingFile* file) {
  ScopedLock guard(lock_);
  const auto found = std::find(files_.begin(), files_.end(), file);
  if (found != files_.end()) files_.erase(found);
}

void WaitingFiles::OrphanAll() {
  ScopedLock guard(lock_);
  std::vector<UpdatingFile*> orphans;
  orphans.swap(files_);
  for (UpdatingFile* file : orphans) file->Orphan();
}

size_t WaitingFiles::Count() {
  ScopedLock guard(lock_);
  return files_.size();
}

bool WaitingFiles::Has(const ResourceKey& key, uint32_t version) {
  ScopedLock guard(lock_);
  return !FilesOf(key, version).empty();
}

std::vector<WaitingFiles::Wanted> WaitingFiles::WantedNewestFirst() {
  std::vector<Wanted> wanted;
  ScopedLock guard(lock_);
  for (UpdatingFile* file : files_) wanted.emplace_back(file->Key(), file->GetVersion());
  return wanted;
}

void WaitingFiles::Attach(const ResourceKey& key, HttpDownloader* worker) {
  ScopedLock guard(lock_);
  for (UpdatingFile* file : files_)
    if (file->Key() == key) file->Attach(worker);
}

void WaitingFiles::Detach(const HttpDownloader* worker) {
  ScopedLock guard(lock_);
  for (UpdatingFile* file : files_)
    if (file->IsAttachedTo(worker)) file->Attach(nullptr);
}

void WaitingFiles::MarkDownloadSucceeded(const ResourceKey& key, uint32_t version) {
  ScopedLock guard(lock_);
  const std::vector<UpdatingFile*> files = FilesOf(key, version);
  if (!files.empty()) files.front()->MarkDownloadSucceeded();
}

void WaitingFiles::Fail(const ResourceKey& key, uint32_t version, bool downloadFailed) {
  ScopedLock guard(lock_);
  for (UpdatingFile* file : FilesOf(key, version)) {
    if (downloadFailed) file->MarkDownloadFailed();
    file->MarkFailed();
    TakeOff(file);
  }
}

// Every further file gets its own copy, made before the first file takes the
// buffer: once off the list the host may release that file at once.
void WaitingFiles::Fill(const ResourceKey& key, uint32_t version, char* buffer,
                        uint32_t size) {
  // Without a buffer nobody was waiting when the package was added; a file
  // that came since waits for a download of its own.
  if (buffer == nullptr) return;
  ScopedLock guard(lock_);
  const std::vector<UpdatingFile*> files = FilesOf(key, version);
  if (files.empty()) {
    std::free(buffer);
    return;
  }
  for (size_t i = 1; i < files.size(); ++i) {
    char* copy = static_cast<char*>(std::malloc(static_cast<size_t>(size) + 1));
    if (copy == nullptr) {
      files[i]->MarkFailed();
    } else {
      std::memcpy(copy, buffer, size);
      copy[size] = 0;
      files[i]->Fill(copy, size);
    }
    TakeOff(files[i]);
  }
  files.front()->Fill(buffer, size);
  TakeOff(files.front());
}

std::vector<UpdatingFile*> WaitingFiles::FilesOf(const ResourceKey& key, uint32_t version) {
  std::vector<UpdatingFile*> files;
  for (UpdatingFile* file : files_)
    if (file->Key() == key && file->GetVersion() == version) files.push_back(file);
  return files;
}

// Under the lock.
void WaitingFiles::TakeOff(UpdatingFile* file) {
  const auto found = std::find(files_.begin(), files_.end(), file);
  if (found != files_.end()) files_.erase(found);
  file->Unlink();
}

}  // namespace FileSystem
