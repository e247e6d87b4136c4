#include "PackageManager.h"

#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <new>

#include "AsynchronismReadPackagedFile.h"
#include "Directories.h"
#include "EntryCodec.h"
#include "FileMappingBuffer.h"
#include "FileSystem.h"
#include "FileSystemFacade.h"
#include "MemoryFile.h"
#include "PackageFile.h"
#include "PackagedFile.h"
#include "UnPackagedFile.h"

namespace FileSystem {

namespace {

bool FileExists(const std::string& path) { return _access(path.c_str(), 0) == 0; }

}  // namespace

PackageManager::~PackageManager() {
  ClearIndex();
  ClosePackages();
}

void PackageManager::Log(int level, const char* format, const char* text) {
  if (fileSystem_ != nullptr) fileSystem_->Logger().Log(level, format, text);
}

bool PackageManager::Init(FileSystem* fileSystem, bool updateMode, const char* root,
                          const char* baseName, const char* extension,
                          const PackagePathNode* extraPackages, uint32_t maxPackageSize,
                          uint32_t maxDeltaPackageSize) {
  ClearIndex();
  ClosePackages();
  fileSystem_ = fileSystem;
  updateMode_ = updateMode;
  maxPackageSize_ = maxPackageSize < kMinPackageSize ? kMinPackageSize : maxPackageSize;
  maxDeltaPackageSize_ =
      maxDeltaPackageSize < kMinPackageSize ? kMinPackageSize : maxDeltaPackageSize;
  root_ = root != nullptr ? root : "";
  if (!root_.empty() && root_.back() != '/' && root_.back() != '\\') root_ += '/';
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
  PackageFile* package = new (std::nothrow) PackageFile(fileSystem_, this);
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
    PackageFile* package = new (std::nothrow) PackageFile(fileSystem_, this);
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
    PackageFile* package = new (std::nothrow) PackageFile(fileSystem_, this);
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
    RestoreUnpackagedFile(key);
  return true;
}

void PackageManager::RestoreUnpackagedFile(const ResourceKey& key) {}

void PackageManager::RestoreUnpackagedFiles() {}

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
  FileMappingBuffer* view = found.package->MapEntry(entry);
  if (view == nullptr) return entry.size == 0 ? MemoryFile::CreateEmpty() : nullptr;
  const int method = StoredMethod(entry.method);
  if (method == kMethodStored) {
    if (entry.size == entry.storedSize) {
      IReadFile* file = new (std::nothrow) PackagedFile(view);
      if (file == nullptr) delete view;
      return file;
    }
    delete view;
    return nullptr;
  }
  if ((method != kMethodLzo && method != kMethodLzma) || entry.size == 0xFFFFFFFFu) {
    delete view;
    return nullptr;
  }
  // An LZMA block names its own length: one that disagrees with the entry is
  // refused before any decoding.
  if (method == kMethodLzma && LzmaBlockUncompressedSize(view->Data(), view->Size()) != entry.size) {
    delete view;
    return nullptr;
  }
  char* buffer = static_cast<char*>(std::malloc(static_cast<size_t>(entry.size) + 1));
  const bool decoded = buffer != nullptr && DecodeEntry(method, view->Data(), view->Size(),
                                                        reinterpret_cast<uint8_t*>(buffer),
                                                        entry.size);
  delete view;
  if (!decoded) {
    if (buffer != nullptr)
      Log(kLogError, "Decompress file failed when open file \"%s\".", name != nullptr ? name : "");
    std::free(buffer);
    return nullptr;
  }
  buffer[entry.size] = 0;
  IReadFile* file = new (std::nothrow) MemoryFile(buffer, entry.size);
  if (file == nullptr) std::free(buffer);
  return file;
}

IReadFile* PackageManager::OpenVersionConfig() {
  return OpenPackagedFile(HashResourceName("version.pcfg"), "version.pcfg", false);
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

namespace {

bool ReadWord(IReadFile* file, uint32_t* value) {
  uint8_t bytes[4];
  if (!file->Read(reinterpret_cast<char*>(bytes), 4)) return false;
  *value = ReadU32(bytes);
  return true;
}

}  // namespace

bool PackageManager::LoadLinkGroups(IReadFile* file) {
  uint32_t groups = 0;
  if (!ReadWord(file, &groups)) return false;
  for (uint32_t g = 0; g < groups; ++g) {
    uint32_t count = 0;
    ResourceKey target;
    if (!ReadWord(file, &count) || !ReadWord(file, &target.hash1) ||
        !ReadWord(file, &target.hash2))
      return false;
    for (uint32_t m = 1; m < count; ++m) {
      ResourceKey member;
      if (!ReadWord(file, &member.hash1) || !ReadWord(file, &member.hash2)) return false;
      ScopedLock guard(lock_);
      links_[member] = target;
    }
  }
  return true;
}

bool PackageManager::LoadVersionConfig() {
  if (fileSystem_ == nullptr) return false;
  IReadFile* file = fileSystem_->OpenFile("version.pcfg", kOpenPackagedOnly, false, false);
  if (file == nullptr) return false;
  uint32_t versions = 0;
  bool ok = ReadWord(file, &versions);
  // The version list is for the update engine; locally only the links count.
  if (ok) {
    const uint64_t skip = static_cast<uint64_t>(versions) * 10;
    ok = skip <= 0x7FFFFFFF && file->Seek(static_cast<int32_t>(skip), 1);
  }
  if (ok) ok = LoadLinkGroups(file);
  file->Release();
  return ok;
}

bool PackageManager::LoadFileLinkConfig() {
  if (fileSystem_ == nullptr) return false;
  IReadFile* file = fileSystem_->OpenFile("filelink.pcfg", kOpenPackagedOnly, false, false);
  if (file == nullptr) return false;
  const bool ok = LoadLinkGroups(file);
  file->Release();
  return ok;
}

}  // namespace FileSystem
