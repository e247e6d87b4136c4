#include "store/PackageManager.h"

#include <io.h>
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "store/AsynchronismReadPackagedFile.h"
#include "store/DecodeBuffers.h"
#include "store/Directories.h"
#include "DownloadPackageWalker.h"
#include "EntryCodec.h"
#include "store/FileChange.h"
#include "FileLinkConfig.h"
#include "store/FileMappingBuffer.h"
#include "FileSystem.h"
#include "store/KeyReadiness.h"
#include "base/KillPoints.h"
#include "base/LogManager.h"
#include "store/MemoryFile.h"
#include "store/PackageFile.h"
#include "store/PackagedFile.h"
#include "store/UnPackagedFile.h"
#include "UnpackagedName.h"
#include "VersionConfig.h"
#include "store/WriteFile.h"

namespace FileSystem {

namespace {

bool FileExists(const std::string& path) { return _access(path.c_str(), 0) == 0; }

}  // namespace

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
  readiness_ = readiness;
  updateMode_ = updateMode;
  maxPackageSize_ = maxPackageSize < kMinPackageSize ? kMinPackageSize : maxPackageSize;
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

// ---- Download packages and unpackaged files ----
//
// A download image is merged entry by entry into the local packages; loose
// (unpackaged) files are written to or removed from disk below the root, and
// the same records let a later start restore files that were deleted or
// changed. Every name and length here comes from downloaded or stored bytes.

namespace {

void FreeBuffer(uint8_t* buffer) { std::free(buffer); }
using ContentBuffer = std::unique_ptr<uint8_t, decltype(&FreeBuffer)>;

ContentBuffer NoContent() { return ContentBuffer(nullptr, &FreeBuffer); }

enum class DecodeResult { kDecoded, kDecodeError, kInvalid };

// Decodes stored content by method into a new buffer of size + 1 bytes whose
// last byte is 0; the buffer is a malloc block, as its taker frees it.
DecodeResult DecodeContent(int method, const uint8_t* src, uint32_t srcLen, uint32_t size,
                           ContentBuffer* out) {
  const EntryDecodeResult check = CheckEntryContent(method, src, srcLen, size);
  if (check == EntryDecodeResult::kInvalid) return DecodeResult::kInvalid;
  if (check != EntryDecodeResult::kDecoded) return DecodeResult::kDecodeError;
  ContentBuffer buffer(static_cast<uint8_t*>(std::malloc(size_t{size} + 1)), &FreeBuffer);
  if (buffer == nullptr) return DecodeResult::kInvalid;
  const EntryDecodeResult decoded = DecodeEntryContent(method, src, srcLen, size, buffer.get());
  if (decoded == EntryDecodeResult::kInvalid) return DecodeResult::kInvalid;
  if (decoded != EntryDecodeResult::kDecoded) return DecodeResult::kDecodeError;
  *out = std::move(buffer);
  return DecodeResult::kDecoded;
}

bool IsRequested(const FileIndexEntry& entry, const DownloadTarget& target) {
  return entry.hash1 == target.key.hash1 && entry.hash2 == target.key.hash2 &&
         entry.version == target.version && target.buffer != nullptr && target.size != nullptr;
}

// Gives the decoded content to the caller, who owns it from then on (it is
// released with free); a removed entry hands out nothing.
void HandOut(const FileIndexEntry& entry, const DownloadTarget& target, ContentBuffer content) {
  std::free(*target.buffer);
  *target.buffer = nullptr;
  *target.size = 0;
  if ((entry.flags & kFlagRemoved) != 0 || content == nullptr) return;
  *target.buffer = reinterpret_cast<char*>(content.release());
  *target.size = entry.size;
}

bool DeleteIfPresent(FileChange* change, const std::string& path) {
  if (!FileExists(path)) return true;
  if (change->Delete(path.c_str())) return true;
  return !FileExists(path);
}

enum class AsideResult { kMoved, kTargetTaken, kNotMoved };

AsideResult MoveAside(FileChange* change, const std::string& path, const std::string& target) {
  DeleteIfPresent(change, target);
  if (FileExists(target)) return AsideResult::kTargetTaken;
  change->Rename(path.c_str(), target.c_str());
  return FileExists(path) ? AsideResult::kNotMoved : AsideResult::kMoved;
}

// The part after the last '/' or '\\', whichever comes last.
std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name beside path that no other thread or process writes at the same time.
std::string FreshNameFor(const char* path) {
  return std::string(path) + "." + std::to_string(GetCurrentProcessId()) + "." +
         std::to_string(GetCurrentThreadId()) + ".new";
}

void SetTimes(const char* path, uint64_t time) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  FILETIME stamp;
  stamp.dwLowDateTime = static_cast<DWORD>(time);
  stamp.dwHighDateTime = static_cast<DWORD>(time >> 32);
  SetFileTime(file, &stamp, &stamp, &stamp);
  CloseHandle(file);
}

// True when the file at path has exactly size bytes whose CRC-32 is crc. A
// file that cannot be opened or read counts as damaged.
bool FileIsIntact(const std::string& path, uint32_t size, uint32_t crc) {
  // No sharing of deletion: a file deleted while being checked would vanish
  // once the check closes it, after it was found intact.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER length;
  bool intact = GetFileSizeEx(file, &length) && length.QuadPart == size;
  uLong running = crc32(0L, Z_NULL, 0);
  uint8_t chunk[4096];
  for (uint32_t done = 0; intact && done < size;) {
    const DWORD want = static_cast<DWORD>(std::min<uint32_t>(size - done, sizeof chunk));
    DWORD got = 0;
    intact = ReadFile(file, chunk, want, &got, nullptr) && got == want;
    if (intact) running = crc32(running, chunk, want);
    done += want;
  }
  CloseHandle(file);
  return intact && static_cast<uint32_t>(running) == crc;
}

uint64_t RecordTime(const UnpackagedFileRecord& record) {
  return uint64_t{record.timeLow} | uint64_t{record.timeHigh} << 32;
}

}  // namespace

void PackageManager::LogDownload(const char* format, const ResourceKey& key) {
  if (log_ != nullptr) log_->Log(kLogError, format, key.hash1, key.hash2);
}

void PackageManager::LogSystemError(const char* format, const std::string& path) {
  const unsigned long code = GetLastError();
  if (log_ != nullptr) log_->Log(kLogWarning, format, path.c_str(), code);
}

void PackageManager::LogPath(const char* format, const std::string& path) {
  if (log_ != nullptr) log_->Log(kLogError, format, path.c_str());
}

bool PackageManager::UnpackagedPath(const UnpackagedFileRecord& record, std::string* path) {
  if (!IsSafeUnpackagedName(record.name)) return false;
  *path = root_ + record.name;
  return true;
}

bool PackageManager::AddDownloadPackage(const uint8_t* image, uint32_t length, uint32_t hash1,
                                        uint32_t hash2, uint32_t version, char** buffer,
                                        uint32_t* size) {
  if (buffer != nullptr) *buffer = nullptr;
  if (size != nullptr) *size = 0;
  const DownloadTarget target{ResourceKey{hash1, hash2}, version, buffer, size};
  const auto add = [&](const FileIndexEntry& entry) {
    if ((entry.flags & kFlagUnpackaged) != 0) return AddUnpackagedEntry(image, entry, target);
    return AddPackagedEntry(image, entry, target);
  };
  // The entry under the package's own key (a group's package, say) stands
  // for the whole package: once it is indexed at its version the package
  // counts as here. It is stored after every other entry, so that neither a
  // writer stopped halfway nor a later entry that fails, nor another process
  // looking on while this one writes, can see it before the rest is stored.
  std::vector<FileIndexEntry> own;
  WalkResult result = WalkDownloadPackage(image, length, [&](const FileIndexEntry& entry) {
    if (entry.hash1 != hash1 || entry.hash2 != hash2) return add(entry);
    own.push_back(entry);
    return true;
  });
  for (size_t i = 0; result == WalkResult::kComplete && i < own.size(); ++i)
    if (!add(own[i])) result = WalkResult::kStopped;
  if (result == WalkResult::kComplete) return true;
  // A failed download hands out nothing, so no caller has to free content
  // that came with a false result.
  if (buffer != nullptr && size != nullptr) {
    std::free(*buffer);
    *buffer = nullptr;
    *size = 0;
  }
  return false;
}

bool PackageManager::AddPackagedEntry(const uint8_t* image, const FileIndexEntry& entry,
                                      const DownloadTarget& target) {
  static const char kAddFailed[] =
      "Add Packaged file failed when process downloaded package file \"%u, %u\".";
  static const char kDecodeFailed[] =
      "Decompress failed when process downloaded package file \"%u, %u\".";
  const ResourceKey key{entry.hash1, entry.hash2};
  const uint8_t* stored = image + entry.offset;
  const int low = StoredMethod(entry.method);
  const int high = WantedMethod(entry.method);
  ContentBuffer content = NoContent();
  if (low == high) {
    if (!AddFile(key, entry.version, low, high, entry.flags, entry.size, stored, entry.storedSize,
                 entry.capacity)) {
      LogDownload(kAddFailed, target.key);
      return false;
    }
  } else {
    const DecodeResult decoded = DecodeContent(low, stored, entry.storedSize, entry.size, &content);
    if (decoded == DecodeResult::kDecodeError) LogDownload(kDecodeFailed, target.key);
    if (decoded != DecodeResult::kDecoded) return false;
    if (!StoreReencoded(key, entry, nullptr, 0, content.get())) {
      LogDownload(kAddFailed, target.key);
      return false;
    }
  }
  if (!IsRequested(entry, target)) return true;
  if (content == nullptr && (entry.flags & kFlagRemoved) == 0) {
    const DecodeResult decoded = DecodeContent(low, stored, entry.storedSize, entry.size, &content);
    if (decoded == DecodeResult::kDecodeError) LogDownload(kDecodeFailed, target.key);
    if (decoded != DecodeResult::kDecoded) return false;
  }
  HandOut(entry, target, std::move(content));
  return true;
}

bool PackageManager::StoreReencoded(const ResourceKey& key, const FileIndexEntry& entry,
                                    const uint8_t* head, uint32_t headLength,
                                    const uint8_t* content) {
  const int high = WantedMethod(entry.method);
  if (high != kMethodStored && high != kMethodLzo && high != kMethodLzma) return false;
  std::vector<uint8_t> encoded;
  KillPoints::Reach("adder.reencode", key.hash1, key.hash2);
  const int used = EncodeEntry(high, content, entry.size, &encoded);
  if (used < 0) return false;
  if (headLength != 0) {
    if (encoded.size() > UINT32_MAX - headLength) return false;
    encoded.insert(encoded.begin(), head, head + headLength);
  }
  return AddFile(key, entry.version, used, used, entry.flags, entry.size, encoded.data(),
                 static_cast<uint32_t>(encoded.size()), entry.capacity);
}

bool PackageManager::AddUnpackagedEntry(const uint8_t* image, const FileIndexEntry& entry,
                                        const DownloadTarget& target) {
  const ResourceKey key{entry.hash1, entry.hash2};
  uint32_t indexedVersion = 0;
  const bool present = FindEntry(key, &indexedVersion) && indexedVersion >= entry.version;
  const bool requested = IsRequested(entry, target);
  if (present && !requested) return true;

  const uint8_t* stored = image + entry.offset;
  UnpackagedFileRecord record;
  if (!ParseUnpackagedRecord(stored, entry.storedSize, &record)) return false;
  std::string path;
  if (!UnpackagedPath(record, &path)) {
    LogDownload("Refused unsafe name of downloaded unpackaged file \"%u, %u\".", target.key);
    return false;
  }
  const int low = StoredMethod(entry.method);
  ContentBuffer content = NoContent();
  const DecodeResult decoded = DecodeContent(low, stored + record.contentOffset,
                                             record.contentLength, entry.size, &content);
  if (decoded == DecodeResult::kDecodeError)
    LogDownload("Decompress failed when process downloaded unpackaged file \"%u, %u\".",
                target.key);
  if (decoded != DecodeResult::kDecoded) return false;

  if ((entry.flags & kFlagRemoved) != 0) {
    if (!RemoveBusyFile(path.c_str())) {
      LogDownload("Remove unpackaged file failed when process downloaded unpackaged file "
                  "\"%u, %u\".",
                  target.key);
      return false;
    }
  } else if (!WriteUnpackagedFile(path.c_str(), content.get(), entry.size, record.attributes,
                                  RecordTime(record))) {
    LogDownload("Write unpackaged file failed when process downloaded unpackaged file "
                "\"%u, %u\".",
                target.key);
    return false;
  }

  if (!present) {
    const int high = WantedMethod(entry.method);
    const bool added =
        low == high ? AddFile(key, entry.version, low, high, entry.flags, entry.size, stored,
                              entry.storedSize, entry.capacity)
                    : StoreReencoded(key, entry, stored, record.contentOffset, content.get());
    if (!added) {
      LogDownload("Add packaged file failed when process downloaded unpackaged file \"%u, %u\".",
                  target.key);
      return false;
    }
  }
  if (requested) HandOut(entry, target, std::move(content));
  return true;
}

bool PackageManager::WriteUnpackagedFile(const char* path, const void* content, uint32_t size,
                                         uint32_t attributes, uint64_t time) {
  if (path == nullptr || (content == nullptr && size != 0)) return false;
  CreateParentDirectories(path);
  // The content is written to a file of its own beside the target and then
  // renamed over it, so that a reader, or another process writing the same
  // file, never finds it missing, half written or waiting to be deleted.
  const std::string fresh = FreshNameFor(path);
  IWriteFile* file = WriteFile::Open(fresh.c_str(), false);
  if (file == nullptr) {
    LogSystemError("Open write file \"%s\" failed, system error %lu.", fresh);
    LogPath("Open write file failed when process downloaded unpackaged file %s.", path);
    return false;
  }
  FileChange change(log_);
  // A write of 0 bytes reports failure by design, and an empty file needs
  // none: opening it has already created it.
  if (size != 0 && !file->Write(content, size)) {
    file->Release();
    DeleteIfPresent(&change, fresh);
    LogPath("Write file failed when process downloaded unpackaged file %s.", path);
    return false;
  }
  file->Release();
  // Times first: a read-only attribute would keep them from being set. A
  // rename keeps both.
  SetTimes(fresh.c_str(), time);
  SetFileAttributesA(fresh.c_str(), attributes);
  KillPoints::Reach("store.loose-written");
  if (!PutInPlace(fresh, path)) {
    DeleteIfPresent(&change, fresh);
    LogPath("Remove unpackaged file failed when write unpackaged file %s.", path);
    return false;
  }
  return true;
}

bool PackageManager::PutInPlace(const std::string& fresh, const char* path) {
  FileChange change(log_);
  if (change.Replace(fresh.c_str(), path)) return true;
  // In use. Deleting it would only mark it for deletion while its reader
  // holds it, which keeps the name taken and then loses the file; renamed
  // into removed_files it stays whole for the reader and frees the name.
  return MoveToRemovedFiles(path) && change.Replace(fresh.c_str(), path);
}

bool PackageManager::RemoveBusyFile(const char* path) {
  if (path == nullptr) return false;
  FileChange change(log_);
  if (DeleteIfPresent(&change, path)) return true;
  // In use: move it out of the way below the root.
  return MoveToRemovedFiles(path);
}

bool PackageManager::MoveToRemovedFiles(const std::string& source) {
  const std::string folder = root_ + "removed_files";
  CreateDirectories(folder.c_str());
  const std::string target = folder + "/" + BaseName(source);
  FileChange change(log_);
  for (int i = -1; i < 1000; ++i) {
    const std::string name = i < 0 ? target : target + std::to_string(i);
    const AsideResult result = MoveAside(&change, source, name);
    if (result == AsideResult::kMoved) return true;
    // Held by another process even after the retries: another name would
    // not free it.
    if (result == AsideResult::kNotMoved &&
        FileChange::IsBriefHold(change.LastError(), source.c_str(), name.c_str()))
      return false;
  }
  return false;
}

bool PackageManager::IsRestoreWanted(const ResourceKey& key) {
  if (!updateMode_ || readiness_ == nullptr) return true;
  // In update mode only a file whose listed version is the indexed one is
  // ours to restore; an outdated one is about to be replaced anyway.
  return readiness_->IsKeyReady(key);
}

bool PackageManager::RestoreUnpackagedFiles() {
  std::vector<ResourceKey> keys;
  {
    ScopedLock guard(lock_);
    keys.assign(unpackaged_.begin(), unpackaged_.end());
  }
  for (const ResourceKey& key : keys) RestoreUnpackagedFile(key);
  return true;
}

bool PackageManager::RestoreUnpackagedFile(const ResourceKey& key) {
  if (!IsRestoreWanted(key)) return true;
  IndexedEntry found;
  if (!LookupEntry(key, &found)) return true;
  const FileIndexEntry& entry = found.entry;
  if ((entry.flags & kFlagRemoved) != 0 || (entry.flags & kFlagUnpackaged) == 0) return true;
  std::unique_ptr<FileMappingBuffer> view(found.package->MapEntry(entry));
  if (view == nullptr) return false;
  UnpackagedFileRecord record;
  if (!ParseUnpackagedRecord(view->Data(), view->Size(), &record)) return false;
  std::string path;
  if (!UnpackagedPath(record, &path)) {
    LogPath("Refused unsafe name of unpackaged file \"%s\".", record.name);
    return false;
  }
  if (FileIsIntact(path, entry.size, record.crc)) return true;
  ContentBuffer content = NoContent();
  const DecodeResult decoded =
      DecodeContent(StoredMethod(entry.method), view->Data() + record.contentOffset,
                    record.contentLength, entry.size, &content);
  if (decoded == DecodeResult::kDecodeError)
    LogPath("Decompress failed when restore unpackaged file \"%s\".", path);
  if (decoded != DecodeResult::kDecoded) return false;
  return WriteUnpackagedFile(path.c_str(), content.get(), entry.size, record.attributes,
                             RecordTime(record));
}

}  // namespace FileSystem
