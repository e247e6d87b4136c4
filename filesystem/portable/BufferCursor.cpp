#include "BufferCursor.h"

#include <cstring>

namespace FileSystem {

bool CursorRead(const char* data, uint32_t available, uint32_t* position, char* buffer,
                uint32_t n) {
  if (buffer == nullptr || position == nullptr) return false;
  const uint64_t end = static_cast<uint64_t>(*position) + n;
  if (end > available) return false;
  if (n > 0) {
    if (data == nullptr) return false;
    std::memcpy(buffer, data + *position, n);
  }
  *position = static_cast<uint32_t>(end);
  return true;
}

bool CursorSeek(uint32_t size, uint32_t* position, int32_t offset, int origin) {
  int64_t base;
  switch (origin) {
    case 0: base = 0; break;
    case 1: base = *position; break;
    case 2: base = size; break;
    default: return false;
  }
  const int64_t target = base + offset;
  if (target < 0 || target > static_cast<int64_t>(size)) return false;
  *position = static_cast<uint32_t>(target);
  return true;
}

}  // namespace FileSystem
