#include "store/UnPackagedFile.h"

#include <cstdlib>

#include "BufferCursor.h"

namespace FileSystem {

UnPackagedFile::UnPackagedFile(FILE* file) : file_(file) {
  const long start = std::ftell(file_);
  if (std::fseek(file_, 0, SEEK_END) == 0) {
    const long end = std::ftell(file_);
    size_ = end > 0 ? static_cast<int32_t>(end) : 0;
  }
  std::fseek(file_, start < 0 ? 0 : start, SEEK_SET);
}

UnPackagedFile::~UnPackagedFile() {
  if (file_ != nullptr) std::fclose(file_);
  std::free(buffer_);
}

bool UnPackagedFile::Read(char* buffer, uint32_t n) {
  if (buffer_ != nullptr)
    return CursorRead(buffer_, static_cast<uint32_t>(size_), &position_, buffer, n);
  if (buffer == nullptr) return false;
  return std::fread(buffer, n, 1, file_) == 1;
}

bool UnPackagedFile::Seek(int32_t offset, int origin) {
  if (buffer_ != nullptr) return CursorSeek(static_cast<uint32_t>(size_), &position_, offset, origin);
  return std::fseek(file_, offset, origin) == 0;
}

int32_t UnPackagedFile::Tell() {
  if (buffer_ != nullptr) return static_cast<int32_t>(position_);
  return static_cast<int32_t>(std::ftell(file_));
}

const char* UnPackagedFile::GetBuffer() {
  if (buffer_ != nullptr) return buffer_;
  const uint32_t size = static_cast<uint32_t>(size_);
  char* buffer = static_cast<char*>(std::malloc(static_cast<size_t>(size) + 1));
  if (buffer == nullptr) return nullptr;
  const long position = std::ftell(file_);
  if (std::fseek(file_, 0, SEEK_SET) != 0 ||
      (size > 0 && std::fread(buffer, size, 1, file_) != 1)) {
    std::fseek(file_, position < 0 ? 0 : position, SEEK_SET);
    std::free(buffer);
    return nullptr;
  }
  std::fclose(file_);
  file_ = nullptr;
  buffer[size] = 0;
  buffer_ = buffer;
  position_ = position < 0 ? 0 : (static_cast<uint32_t>(position) > size ? size : position);
  return buffer_;
}

}  // namespace FileSystem
