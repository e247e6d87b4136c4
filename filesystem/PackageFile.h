// One open package file: its index is read into the package manager and
// entries are appended or replaced, always inside the cross-process lock on
// bytes 0 to 3, through views as small as each piece.
#pragma once

#include <cstdint>
#include <string>

#include "PackageFormat.h"

namespace FileSystem {

class FileSystem;
class FileMapping;
class FileMappingBuffer;
class PackageManager;

class PackageFile {
 public:
  PackageFile(FileSystem* fileSystem, PackageManager* packages);
  virtual ~PackageFile();
  PackageFile(const PackageFile&) = delete;
  PackageFile& operator=(const PackageFile&) = delete;

  bool Open(const char* path, bool write, uint32_t maxSize);
  // Reads the whole index into the package manager; false on a damaged
  // chain, leaving the entries indexed before the damage.
  bool LoadFileList();
  bool AppendEntry(uint32_t hash1, uint32_t hash2, uint32_t version, int storedMethod,
                   int wantedMethod, uint8_t flags, uint32_t size, const void* data,
                   uint32_t storedSize, uint32_t capacity);
  bool ReplaceEntry(uint32_t entryOffset, uint32_t hash1, uint32_t hash2, uint32_t version,
                    int storedMethod, int wantedMethod, uint8_t flags, uint32_t size,
                    const void* data, uint32_t storedSize, uint32_t capacity);
  // A read view of the entry's stored data; null without a mapping, for an
  // empty entry, or for data that does not lie inside the file.
  FileMappingBuffer* MapEntry(const FileIndexEntry& entry);

  const std::string& Path() const { return path_; }
  bool IsWrite() const { return write_; }
  uint32_t Counter() const { return counter_; }

 private:
  struct ChainInfo {
    uint64_t usedEnd = 0;  // the larger of the header's and every block's and entry's end
    bool haveFreeBlock = false;
    uint32_t freeBlock = 0;
    uint32_t freeBlockCount = 0;
    uint32_t lastBlock = 0;
    bool slotFound = false;
  };
  struct Entry {
    uint32_t hash1, hash2, version, size, storedSize, capacity;
    int storedMethod, wantedMethod;
    uint8_t flags;
    const void* data;
  };

  bool LoadLocked(uint64_t fileSize);
  bool ResetDirty(uint64_t fileSize);
  bool WalkChain(uint64_t fileSize, uint32_t headerUsedEnd, bool index, uint32_t wantedSlot,
                 ChainInfo* info);
  bool PrepareWrite(uint64_t* fileSize, PackageHeader* header);
  bool IsIndexedAtLeast(uint32_t hash1, uint32_t hash2, uint32_t version);
  bool NormaliseEntry(Entry* entry);
  bool AppendLocked(Entry entry);
  bool ReplaceLocked(uint32_t entryOffset, Entry entry);
  bool AddBlock(uint64_t fileSize, const PackageHeader& header, ChainInfo* info);
  bool Announce(uint32_t slotOffset, const FileIndexEntry& entry);
  FileIndexEntry MakeEntry(const Entry& entry, uint32_t offset, uint32_t capacity) const;

  bool ReadBytes(uint64_t offset, void* out, uint32_t n);
  bool WriteBytes(uint64_t offset, const void* data, uint32_t n);
  bool ReadHeader(PackageHeader* header);
  bool WriteHeader(const PackageHeader& header);
  void Log(int level, const char* format);

  FileSystem* fileSystem_;
  PackageManager* packages_;
  std::string path_;
  FileMapping* mapping_ = nullptr;
  uint32_t counter_ = 0;
  bool write_ = false;
};

}  // namespace FileSystem
