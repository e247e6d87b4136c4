#include "store/PackageManager.h"


#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "store/AsynchronismReadPackagedFile.h"
#include "store/DecodeBuffers.h"
#include "store/Directories.h"
#include "EntryCodec.h"
#include "FileLinkConfig.h"
#include "store/FileMappingBuffer.h"
#include "FileSystem.h"
#include "base/LogManager.h"
#include "store/MemoryFile.h"
#include "store/PackageFile.h"
#include "store/PackagedFile.h"
#include "store/UnPackagedFile.h"
#include "VersionConfig.h"

namespace FileSystem {

PackageManager::~PackageManager() {
  ClearIndex();
  ClosePackages();
}

void PackageManager::Log(int level, const char* format, const char* text) {
  if (log_ != nullptr) log_->Log(level, format, text);
}

bool PackageManager::Init(LogManager& log, KeyReadiness* readiness, bool updateMode,
                          const char* root, const char* baseName, const char* extension,
                          const PackagePathNode* extraPackages, uint32_t maxPackageSize,
                          uint32_t /*maxDeltaPackageSize*/) {
  ClearIndex();
  ClosePackages();
  log_ = &log;
  updateMode_ = updateMode;
  maxPackageSize_ = maxPackageSize < kMinPackageSize ? kMinPackageSize : maxPackageSize;
  root_ = root != nullptr ? root : "";
  if (!root_.empty() && root_.back() != '/' && root_.back() != '\\') root_ += '/';
  merger_.Init(log, updateMode ? readiness : nullptr, root_);
  baseName_ = baseName != nullptr ? baseName : "";
  extension_ = extension != nullptr ? extension : "";
  {
    ScopedLock guard(lock_);
    links_.clear();
  }
  for (const PackagePathNode* node = extraPackages; node != nullptr; node = node->next)
    AddPackage(node->path);
  OpenPackages();
  if (!updateMode_) {
    LoadVersionConfig();
    LoadFileLinkConfig();
  }
  return true;
}

void PackageManager::ClearIndex() {
  ScopedLock guard(lock_);
  index_.clear();
  unpackaged_.clear();
}

void PackageManager::ClosePackages() {
  for (auto& item : packages_) delete item.second;
  packages_.clear();
}

std::string PackageManager::NumberedPath(int number) const {
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "_%d.", number);
  return root_ + baseName_ + suffix + extension_;
}

std::vector<std::string> PackageManager::PackagePaths() const {
  std::vector<std::string> paths;
  for (const auto& item : packages_) paths.push_back(item.first);
  return paths;
}

PackageFile* PackageManager::FindPackage(const std::string& path) const {
  auto it = packages_.find(path);
  return it != packages_.end() ? it->second : nullptr;
}

bool PackageManager::LoadIndexOf(PackageFile* package, bool restore) {
  loadingRestore_ = restore;
  const bool loaded = package->LoadFileList();
  loadingRestore_ = false;
  if (!loaded) Log(kLogWarning, "Load file list of \"%s\" failed", package->Path().c_str());
  return loaded;
}

bool PackageManager::AddPackage(const char* path) {
  if (path == nullptr || packages_.count(path) != 0) return false;
  PackageFile* package = new (std::nothrow) PackageFile(log_, this);
  if (package == nullptr) return false;
  if (!package->Open(path, false, maxPackageSize_)) {
    delete package;
    return false;
  }
  packages_[path] = package;
  LoadIndexOf(package, true);
  return true;
}

bool PackageManager::OpenPackages() {
  if (baseName_.empty() || extension_.empty()) return false;
  for (int n = 1; n <= kMaxPackageNumber; ++n) {
    const std::string path = NumberedPath(n);
    if (!FileExists(path)) return true;
    if (packages_.count(path) != 0) continue;
    PackageFile* package = new (std::nothrow) PackageFile(log_, this);
    if (package == nullptr) return false;
    bool opened = updateMode_ && package->Open(path.c_str(), true, maxPackageSize_);
    if (!opened) opened = package->Open(path.c_str(), false, maxPackageSize_);
    if (!opened) {
      Log(kLogError, "Open package file \"%s\" failed.", path.c_str());
      delete package;
      return false;
    }
    packages_[path] = package;
    LoadIndexOf(package, true);
  }
  return true;
}

PackageFile* PackageManager::CreatePackage() {
  if (!updateMode_ || baseName_.empty() || extension_.empty()) return nullptr;
  CreateDirectories(root_.c_str());
  for (int n = 1; n <= kMaxPackageNumber; ++n) {
    const std::string path = NumberedPath(n);
    if (packages_.count(path) != 0) continue;
    PackageFile* package = new (std::nothrow) PackageFile(log_, this);
    if (package == nullptr) return nullptr;
    if (package->Open(path.c_str(), true, maxPackageSize_)) {
      packages_[path] = package;
      LoadIndexOf(package, false);
      return package;
    }
    delete package;
    if (!FileExists(path)) {
      Log(kLogError, "Open package file \"%s\" failed.", path.c_str());
      return nullptr;
    }
  }
  return nullptr;
}

bool PackageManager::FindEntry(const ResourceKey& key, uint32_t* version) {
  ScopedLock guard(lock_);
  auto it = index_.find(key);
  if (it == index_.end()) {
    if (version != nullptr) *version = 0;
    return false;
  }
  if (version != nullptr) *version = it->second.entry.version;
  return true;
}

bool PackageManager::IsIndexedAt(const ResourceKey& key, uint32_t version) {
  uint32_t indexed = 0;
  return FindEntry(key, &indexed) && indexed == version;
}

bool PackageManager::LookupEntry(const ResourceKey& key, IndexedEntry* found) {
  ScopedLock guard(lock_);
  auto it = index_.find(key);
  if (it == index_.end()) return false;
  *found = it->second;
  return true;
}

std::vector<std::pair<ResourceKey, IndexedEntry>> PackageManager::ListEntries() {
  ScopedLock guard(lock_);
  return std::vector<std::pair<ResourceKey, IndexedEntry>>(index_.begin(), index_.end());
}

bool PackageManager::IsUnpackaged(const ResourceKey& key) {
  ScopedLock guard(lock_);
  return unpackaged_.count(key) != 0;
}

std::vector<ResourceKey> PackageManager::UnpackagedKeys() {
  ScopedLock guard(lock_);
  return std::vector<ResourceKey>(unpackaged_.begin(), unpackaged_.end());
}

bool PackageManager::IndexEntry(PackageFile* package, uint32_t slotOffset,
                                const FileIndexEntry* entry) {
  if (package == nullptr || slotOffset == 0 || entry == nullptr) return false;
  const ResourceKey key{entry->hash1, entry->hash2};
  bool stored = false;
  {
    ScopedLock guard(lock_);
    auto it = index_.find(key);
    if (it == index_.end()) {
      index_[key] = IndexedEntry{package, slotOffset, *entry};
      stored = true;
    } else if (entry->version >= it->second.entry.version) {
      it->second = IndexedEntry{package, slotOffset, *entry};
      stored = true;
    }
    if (stored && (entry->flags & kFlagUnpackaged) != 0) unpackaged_.insert(key);
  }
  if (stored && (entry->flags & kFlagUnpackaged) != 0 && loadingRestore_)
    merger_.RestoreUnpackagedFile(key);
  return true;
}

IReadFile* PackageManager::OpenPackagedFile(const ResourceKey& key, const char* name, bool async) {
  IndexedEntry found;
  if (!LookupEntry(key, &found)) return nullptr;
  const FileIndexEntry& entry = found.entry;
  if ((entry.flags & kFlagRemoved) != 0) return nullptr;
  if ((entry.flags & kFlagUnpackaged) != 0) {
    if (name == nullptr) return nullptr;
    FILE* file = std::fopen(name, "rb");
    if (file == nullptr) return nullptr;
    IReadFile* loose = new (std::nothrow) UnPackagedFile(file);
    if (loose == nullptr) std::fclose(file);
    return loose;
  }
  if (async) return new (std::nothrow) AsynchronismReadPackagedFile(found.package, entry);
  std::unique_ptr<FileMappingBuffer> view(found.package->MapEntry(entry));
  if (view == nullptr) return entry.size == 0 ? MemoryFile::CreateEmpty() : nullptr;
  const int method = StoredMethod(entry.method);
  if (method == kMethodStored) {
    if (CheckEntryContent(method, view->Data(), view->Size(), entry.size) !=
        EntryDecodeResult::kDecoded)
      return nullptr;
    IReadFile* file = new (std::nothrow) PackagedFile(view.get());
    if (file != nullptr) view.release();
    return file;
  }
  EntryDecodeResult result;
  char* buffer = DecodeBuffers::Decode(method, view->Data(), view->Size(), entry.size, &result);
  view.reset();
  if (buffer == nullptr) {
    if (result == EntryDecodeResult::kDecodeError)
      Log(kLogError, "Decompress file failed when open file \"%s\".", name != nullptr ? name : "");
    return nullptr;
  }
  IReadFile* file = new (std::nothrow) MemoryFile(buffer, entry.size);
  if (file == nullptr) DecodeBuffers::Give(buffer, entry.size);
  return file;
}

bool PackageManager::ReplaceOrSkip(const ResourceKey& key, uint32_t version, int storedMethod,
                                   int wantedMethod, uint8_t flags, uint32_t size,
                                   const void* data, uint32_t storedSize, uint32_t capacity,
                                   bool* done) {
  IndexedEntry found;
  *done = false;
  if (!LookupEntry(key, &found)) return false;
  if (found.entry.version >= version) {
    *done = true;
    return true;
  }
  *done = found.package->ReplaceEntry(found.slotOffset, key.hash1, key.hash2, version,
                                      storedMethod, wantedMethod, flags, size, data, storedSize,
                                      capacity);
  return *done;
}

bool PackageManager::AddFile(const ResourceKey& key, uint32_t version, int storedMethod,
                             int wantedMethod, uint8_t flags, uint32_t size, const void* data,
                             uint32_t storedSize, uint32_t capacity) {
  bool done = false;
  ReplaceOrSkip(key, version, storedMethod, wantedMethod, flags, size, data, storedSize, capacity,
                &done);
  if (done) return true;
  for (auto& item : packages_) {
    if (!item.second->IsWrite()) continue;
    if (item.second->AppendEntry(key.hash1, key.hash2, version, storedMethod, wantedMethod, flags,
                                 size, data, storedSize, capacity))
      return true;
  }
  // One fresh package at most, and only when the entry fits an empty one:
  // otherwise every attempt would create another full-size file in vain.
  const uint64_t reserved = data == nullptr ? capacity : (capacity > storedSize ? capacity : storedSize);
  if (!RoomFor(kEmptyUsedEnd, reserved, maxPackageSize_)) return false;
  PackageFile* created = CreatePackage();
  if (created == nullptr) return false;
  ReplaceOrSkip(key, version, storedMethod, wantedMethod, flags, size, data, storedSize, capacity,
                &done);
  if (done) return true;
  return created->AppendEntry(key.hash1, key.hash2, version, storedMethod, wantedMethod, flags,
                              size, data, storedSize, capacity);
}

bool PackageManager::ResolveLink(ResourceKey* key) {
  ScopedLock guard(lock_);
  auto it = links_.find(*key);
  if (it == links_.end()) return false;
  *key = it->second;
  return true;
}

// Every pair the parser saw counts, also of a file that breaks off: what was
// read before the break stays linked.
void PackageManager::AddLinks(const std::vector<LinkGroup>& groups) {
  ScopedLock guard(lock_);
  for (const LinkGroup& group : groups)
    for (const ResourceKey& member : group.members) links_[member] = group.target;
}

bool PackageManager::ReadLocalConfig(const char* name, std::vector<uint8_t>* bytes) {
  IReadFile* file = OpenLocalConfig(name);
  if (file == nullptr) return false;
  const int32_t size = file->GetSize();
  bool read = size >= 0;
  if (read) bytes->resize(static_cast<size_t>(size));
  if (read && size > 0)
    read = file->Seek(0, 0) &&
           file->Read(reinterpret_cast<char*>(bytes->data()), static_cast<uint32_t>(size));
  file->Release();
  return read;
}

// As OpenFile finds a packaged-only file in local mode: through the links
// already loaded.
IReadFile* PackageManager::OpenLocalConfig(const char* name) {
  ResourceKey key = HashResourceName(name);
  ResolveLink(&key);
  return OpenPackagedFile(key, name, false);
}

template <typename Config>
bool PackageManager::LoadLinkConfig() {
  std::vector<uint8_t> bytes;
  if (!ReadLocalConfig(Config::kFileName, &bytes)) return false;
  Config config;
  const bool parsed = config.Parse(bytes.data(), bytes.size());
  AddLinks(config.links);
  return parsed;
}

// The version list is for the update engine; locally only its links count.
bool PackageManager::LoadVersionConfig() { return LoadLinkConfig<VersionConfig>(); }

bool PackageManager::LoadFileLinkConfig() { return LoadLinkConfig<FileLinkConfig>(); }

bool PackageManager::AddDownloadPackage(const uint8_t* image, uint32_t length, uint32_t hash1,
                                        uint32_t hash2, uint32_t version, char** buffer,
                                        uint32_t* size) {
  return merger_.AddDownloadPackage(image, length, hash1, hash2, version, buffer, size);
}

bool PackageManager::AddPackagedEntry(const uint8_t* image, const FileIndexEntry& entry,
                                      const DownloadTarget& target) {
  return merger_.AddPackagedEntry(image, entry, target);
}

bool PackageManager::AddUnpackagedEntry(const uint8_t* image, const FileIndexEntry& entry,
                                        const DownloadTarget& target) {
  return merger_.AddUnpackagedEntry(image, entry, target);
}

bool PackageManager::WriteUnpackagedFile(const char* path, const void* content, uint32_t size,
                                         uint32_t attributes, uint64_t time) {
  return merger_.WriteUnpackagedFile(path, content, size, attributes, time);
}

bool PackageManager::RemoveBusyFile(const char* path) { return merger_.RemoveBusyFile(path); }

bool PackageManager::RestoreUnpackagedFiles() { return merger_.RestoreUnpackagedFiles(); }

bool PackageManager::RestoreUnpackagedFile(const ResourceKey& key) {
  return merger_.RestoreUnpackagedFile(key);
}

}  // namespace FileSystem
