#include "WriteFile.h"

namespace FileSystem {

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
