// One open package file: its index is read into the package manager and
// entries are appended or replaced, always inside the cross-process lock on
// bytes 0 to 3, through views as small as each piece.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "PackageFormat.h"

namespace FileSystem {

class FileMapping;
class FileMappingBuffer;
class LogManager;
class PackageIndex;

class PackageFile {
 public:
  // Either may be null: a package that logs nothing, or indexes nothing.
  PackageFile(LogManager* log, PackageIndex* index);
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
  struct Block {
    uint32_t offset, capacity, count;
  };
  // The chain of index blocks as far as the package's index reaches.
  struct Chain {
    uint64_t usedEnd = 0;  // the larger of the header's and every block's and entry's end
    std::vector<Block> blocks;  // in chain order; never empty after a walk
  };
  struct Entry {
    uint32_t hash1, hash2, version, size, storedSize, capacity;
    int storedMethod, wantedMethod;
    uint8_t flags;
    const void* data;
  };
  using View = std::unique_ptr<FileMappingBuffer>;

  bool LoadLocked(uint64_t fileSize);
  bool ResetDirty(uint64_t fileSize);
  bool WalkChain(uint64_t fileSize, uint32_t headerUsedEnd, bool index, Chain* chain);
  bool PrepareWrite(uint64_t* fileSize, View* headerView, PackageHeader* header);
  bool KnowChain(uint64_t fileSize, const PackageHeader& header, bool* walked);
  void RememberChain(const PackageHeader& header);
  bool MapTail(size_t* freeBlock, View* tailView);
  bool LastBlockEnds();
  bool FindTail(uint64_t fileSize, const PackageHeader& header, uint32_t capacity,
                size_t* freeBlock, View* tailView);
  bool FindSlot(uint64_t fileSize, const PackageHeader& header, uint32_t slotOffset);
  bool SlotInChain(uint32_t slotOffset) const;
  bool IsIndexedAtLeast(uint32_t hash1, uint32_t hash2, uint32_t version);
  bool NormaliseEntry(Entry* entry);
  bool AppendLocked(Entry entry);
  bool WriteAppended(FileMappingBuffer* headerView, const PackageHeader& header, size_t target,
                     FileMappingBuffer* blockView, const Entry& e, uint32_t* slotOffset,
                     FileIndexEntry* entry);
  // The data at the used end and its area claimed in the header; the entry
  // that is to point there.
  bool PlaceAtEnd(FileMappingBuffer* headerView, const PackageHeader& header, const Entry& e,
                  FileIndexEntry* entry);
  // The header's counter raised last, once everything it announces is written.
  bool CompleteWrite(FileMappingBuffer* headerView, uint32_t usedEnd);
  bool ReplaceLocked(uint32_t entryOffset, Entry entry);
  bool ReplaceInPlace(FileMappingBuffer* headerView, const PackageHeader& header,
                      FileMappingBuffer* slotView, FileIndexEntry old, const Entry& e,
                      FileIndexEntry* entry);
  bool ReplaceMoving(FileMappingBuffer* headerView, const PackageHeader& header,
                     FileMappingBuffer* slotView, const Entry& e, FileIndexEntry* entry);
  bool AddBlock(FileMappingBuffer* headerView, const PackageHeader& header,
                FileMappingBuffer* lastView, View* blockView);
  bool Announce(uint32_t slotOffset, const FileIndexEntry& entry);
  FileIndexEntry MakeEntry(const Entry& entry, uint32_t offset, uint32_t capacity) const;

  bool ReadBytes(uint64_t offset, void* out, uint32_t n);
  bool WriteBytes(uint64_t offset, const void* data, uint32_t n);
  View MapPiece(uint64_t offset, uint32_t n);
  bool ReadHeader(PackageHeader* header);
  bool WriteHeader(FileMappingBuffer* headerView, const PackageHeader& header);
  void Log(int level, const char* format);

  LogManager* log_;
  PackageIndex* index_;
  std::string path_;
  FileMapping* mapping_ = nullptr;
  uint32_t counter_ = 0;
  bool write_ = false;
  // The chain as the last walk and our own writes since have left it, taken
  // while the header held chainCounter_ and chainHeaderEnd_. A finished write
  // of another process moves the counter on, and one stopped halfway has
  // raised the used end before placing anything past it; what neither shows
  // (an entry without data counted by a stopped writer, or a count or a link
  // left by a writer that raises the used end last) is found by checking the
  // tail of the chain before anything is placed there.
  Chain chain_;
  bool chainKnown_ = false;
  uint32_t chainCounter_ = 0;
  uint32_t chainHeaderEnd_ = 0;
};

}  // namespace FileSystem
