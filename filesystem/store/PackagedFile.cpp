#include "store/PackagedFile.h"

#include "BufferCursor.h"
#include "store/FileMappingBuffer.h"

namespace FileSystem {

PackagedFile::PackagedFile(FileMappingBuffer* view)
    : view_(view), data_(reinterpret_cast<const char*>(view->Data())), size_(view->Size()) {}

PackagedFile::~PackagedFile() { delete view_; }

bool PackagedFile::Read(char* buffer, uint32_t n) {
  return CursorRead(data_, size_, &position_, buffer, n);
}

bool PackagedFile::Seek(int32_t offset, int origin) {
  return CursorSeek(size_, &position_, offset, origin);
}

}  // namespace FileSystem
