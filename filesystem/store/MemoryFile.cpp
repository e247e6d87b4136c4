#include "store/MemoryFile.h"

#include <new>

#include "BufferCursor.h"
#include "store/DecodeBuffers.h"

namespace FileSystem {

MemoryFile::MemoryFile(char* buffer, uint32_t size) : buffer_(buffer), size_(size) {}

MemoryFile* MemoryFile::CreateEmpty() {
  char* buffer = DecodeBuffers::Take(0);
  if (buffer == nullptr) return nullptr;
  buffer[0] = 0;
  MemoryFile* file = new (std::nothrow) MemoryFile(buffer, 0);
  if (file == nullptr) DecodeBuffers::Give(buffer, 0);
  return file;
}

MemoryFile::~MemoryFile() { DecodeBuffers::Give(buffer_, size_); }

bool MemoryFile::Read(char* buffer, uint32_t n) {
  return CursorRead(buffer_, size_, &position_, buffer, n);
}

bool MemoryFile::Seek(int32_t offset, int origin) {
  return CursorSeek(size_, &position_, offset, origin);
}

}  // namespace FileSystem
