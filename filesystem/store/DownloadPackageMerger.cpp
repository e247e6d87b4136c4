#include "store/DownloadPackageMerger.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "store/Directories.h"
#include "DownloadPackageWalker.h"
#include "EntryCodec.h"
#include "store/EntryStore.h"
#include "store/FileChange.h"
#include "store/FileMappingBuffer.h"
#include "FileSystem.h"
#include "store/KeyReadiness.h"
#include "base/KillPoints.h"
#include "base/LogManager.h"
#include "store/PackageFile.h"
#include "UnpackagedName.h"
#include "store/WriteFile.h"

namespace FileSystem {

// Every name and length here comes from downloaded or stored bytes.

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
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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

void DownloadPackageMerger::Init(LogManager& log, KeyReadiness* readiness,
                                 const std::string& root) {
  log_ = &log;
  readiness_ = readiness;
  root_ = root;
}

void DownloadPackageMerger::LogDownload(const char* format, const ResourceKey& key) {
  if (log_ != nullptr) log_->Log(kLogError, format, key.hash1, key.hash2);
}

void DownloadPackageMerger::LogSystemError(const char* format, const std::string& path) {
  const unsigned long code = GetLastError();
  if (log_ != nullptr) log_->Log(kLogWarning, format, path.c_str(), code);
}

void DownloadPackageMerger::LogPath(const char* format, const std::string& path) {
  if (log_ != nullptr) log_->Log(kLogError, format, path.c_str());
}

bool DownloadPackageMerger::UnpackagedPath(const UnpackagedFileRecord& record, std::string* path) {
  if (!IsSafeUnpackagedName(record.name)) return false;
  *path = root_ + record.name;
  return true;
}

bool DownloadPackageMerger::AddDownloadPackage(const uint8_t* image, uint32_t length,
                                               uint32_t hash1, uint32_t hash2, uint32_t version,
                                               char** buffer, uint32_t* size) {
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

bool DownloadPackageMerger::AddPackagedEntry(const uint8_t* image, const FileIndexEntry& entry,
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
    if (!store_.AddFile(key, entry.version, low, high, entry.flags, entry.size, stored,
                        entry.storedSize, entry.capacity)) {
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

bool DownloadPackageMerger::StoreReencoded(const ResourceKey& key, const FileIndexEntry& entry,
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
  return store_.AddFile(key, entry.version, used, used, entry.flags, entry.size, encoded.data(),
                        static_cast<uint32_t>(encoded.size()), entry.capacity);
}

bool DownloadPackageMerger::AddUnpackagedEntry(const uint8_t* image, const FileIndexEntry& entry,
                                               const DownloadTarget& target) {
  const ResourceKey key{entry.hash1, entry.hash2};
  IndexedEntry indexed;
  const bool present = store_.LookupEntry(key, &indexed) && indexed.entry.version >= entry.version;
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
  const DecodeResult decoded =
      DecodeContent(low, stored + record.contentOffset, record.contentLength, entry.size, &content);
  if (decoded == DecodeResult::kDecodeError)
    LogDownload("Decompress failed when process downloaded unpackaged file \"%u, %u\".",
                target.key);
  if (decoded != DecodeResult::kDecoded) return false;

  if ((entry.flags & kFlagRemoved) != 0) {
    if (!RemoveBusyFile(path.c_str())) {
      LogDownload(
          "Remove unpackaged file failed when process downloaded unpackaged file "
          "\"%u, %u\".",
          target.key);
      return false;
    }
  } else if (!WriteUnpackagedFile(path.c_str(), content.get(), entry.size, record.attributes,
                                  RecordTime(record))) {
    LogDownload(
        "Write unpackaged file failed when process downloaded unpackaged file "
        "\"%u, %u\".",
        target.key);
    return false;
  }

  if (!present) {
    const int high = WantedMethod(entry.method);
    const bool added =
        low == high ? store_.AddFile(key, entry.version, low, high, entry.flags, entry.size, stored,
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

bool DownloadPackageMerger::WriteUnpackagedFile(const char* path, const void* content,
                                                uint32_t size, uint32_t attributes, uint64_t time) {
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

bool DownloadPackageMerger::PutInPlace(const std::string& fresh, const char* path) {
  FileChange change(log_);
  if (change.Replace(fresh.c_str(), path)) return true;
  // In use. Deleting it would only mark it for deletion while its reader
  // holds it, which keeps the name taken and then loses the file; renamed
  // into removed_files it stays whole for the reader and frees the name.
  return MoveToRemovedFiles(path) && change.Replace(fresh.c_str(), path);
}

bool DownloadPackageMerger::RemoveBusyFile(const char* path) {
  if (path == nullptr) return false;
  FileChange change(log_);
  if (DeleteIfPresent(&change, path)) return true;
  // In use: move it out of the way below the root.
  return MoveToRemovedFiles(path);
}

bool DownloadPackageMerger::MoveToRemovedFiles(const std::string& source) {
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

bool DownloadPackageMerger::IsRestoreWanted(const ResourceKey& key) {
  if (readiness_ == nullptr) return true;
  // In update mode only a file whose listed version is the indexed one is
  // ours to restore; an outdated one is about to be replaced anyway.
  return readiness_->IsKeyReady(key);
}

bool DownloadPackageMerger::RestoreUnpackagedFiles() {
  for (const ResourceKey& key : store_.UnpackagedKeys()) RestoreUnpackagedFile(key);
  return true;
}

bool DownloadPackageMerger::RestoreUnpackagedFile(const ResourceKey& key) {
  if (!IsRestoreWanted(key)) return true;
  IndexedEntry found;
  if (!store_.LookupEntry(key, &found)) return true;
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
