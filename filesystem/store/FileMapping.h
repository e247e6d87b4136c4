// A package file opened through the C run-time and mapped into memory; every
// access goes through short-lived views of it.
#pragma once

#include <windows.h>

#include <cstdint>

namespace FileSystem {

class FileMappingBuffer;
struct ViewRegistry;

class FileMapping {
 public:
  // Opens (for writing: creates when missing or empty, at maxSize bytes of
  // zeros) and maps the file; null on any failure, with nothing left open.
  static FileMapping* Create(const char* path, bool write, uint32_t maxSize);
  virtual ~FileMapping();
  FileMapping(const FileMapping&) = delete;
  FileMapping& operator=(const FileMapping&) = delete;

  // A view of [offset, offset + length); length 0 means the rest of the file.
  // Null for a write view of a read-only mapping or a range outside the file.
  FileMappingBuffer* MapView(uint64_t offset, uint32_t length, bool read, bool write);
  // The size of the mapped file, taken once when the mapping was made (our
  // own creation included): a view can reach no further while it lives.
  bool GetFileSize(uint64_t* size) const;
  HANDLE FileHandle() const;
  bool IsWrite() const { return write_; }

 private:
  FileMapping() = default;

  int fd_ = -1;
  HANDLE handle_ = nullptr;
  ViewRegistry* views_ = nullptr;
  uint64_t size_ = 0;
  bool write_ = false;
};

}  // namespace FileSystem
