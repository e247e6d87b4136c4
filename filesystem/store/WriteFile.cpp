#include "store/WriteFile.h"

#include <new>

namespace FileSystem {

IWriteFile* WriteFile::Open(const char* path, bool append) {
  if (path == nullptr) return nullptr;
  FILE* file = std::fopen(path, append ? "ab" : "wb");
  if (file == nullptr) return nullptr;
  IWriteFile* result = new (std::nothrow) WriteFile(file);
  if (result == nullptr) std::fclose(file);
  return result;
}

WriteFile::WriteFile(FILE* file) : file_(file) {}

WriteFile::~WriteFile() { std::fclose(file_); }

bool WriteFile::Write(const void* buffer, uint32_t n) {
  if (buffer == nullptr) return false;
  return std::fwrite(buffer, n, 1, file_) == 1;
}

bool WriteFile::Seek(int32_t offset, int origin) { return std::fseek(file_, offset, origin) == 0; }

int32_t WriteFile::Tell() { return static_cast<int32_t>(std::ftell(file_)); }

int WriteFile::Flush() { return std::fflush(file_); }

}  // namespace FileSystem
