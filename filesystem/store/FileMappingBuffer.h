// One mapped view of a package file, as small as the piece it serves.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/CriticalSection.h"

namespace FileSystem {

class FileMapping;
class FileMappingBuffer;

// The list of a mapping's views and the lock that guards it. Shared by the
// mapping and every view, and freed by whichever of them lets go last, so a
// view released after its mapping still finds a live lock to unlink under.
struct ViewRegistry {
  CriticalSection lock;
  FileMappingBuffer* head = nullptr;
  long references = 1;

  void AddReference();
  void ReleaseReference();
};

class FileMappingBuffer {
 public:
  virtual ~FileMappingBuffer();
  FileMappingBuffer(const FileMappingBuffer&) = delete;
  FileMappingBuffer& operator=(const FileMappingBuffer&) = delete;

  uint8_t* Data() const { return data_; }
  uint32_t Size() const { return size_; }
  // Writes the view's dirty pages to the file; false when that fails.
  bool Flush();

 private:
  friend class FileMapping;
  FileMappingBuffer(ViewRegistry* registry, FileMapping* owner, void* base, size_t viewSize,
                    uint8_t* data, uint32_t size);
  void Unlink();

  ViewRegistry* registry_;
  FileMapping* owner_;  // null once the mapping has gone
  void* base_;
  size_t viewSize_;
  uint8_t* data_;
  uint32_t size_;
  FileMappingBuffer* next_ = nullptr;
  FileMappingBuffer* previous_ = nullptr;
};

}  // namespace FileSystem
