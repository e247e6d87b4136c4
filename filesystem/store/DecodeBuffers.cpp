#include "store/DecodeBuffers.h"

#include <new>

#include "BufferPool.h"
#include "base/CriticalSection.h"

namespace FileSystem {

namespace {

// Below this the heap itself reuses freed blocks; from here on it may hand
// them back to the system.
constexpr size_t kMinPooled = 64 * 1024;
// What the process keeps at most in free buffers.
constexpr size_t kMaxKept = 16 * 1024 * 1024;

struct SharedPool {
  CriticalSection lock;
  BufferPool pool{kMinPooled, kMaxKept};
};

// Never destroyed: file objects may end during the process's own teardown.
SharedPool& Shared() {
  static SharedPool* shared = new SharedPool();
  return *shared;
}

}  // namespace

char* DecodeBuffers::Take(uint32_t size) {
  // size + 1 must not wrap where size_t has 32 bits.
  if (size == UINT32_MAX) return nullptr;
  SharedPool& shared = Shared();
  ScopedLock guard(shared.lock);
  return reinterpret_cast<char*>(shared.pool.Take(size_t{size} + 1));
}

void DecodeBuffers::Give(char* buffer, uint32_t size) {
  if (buffer == nullptr) return;
  SharedPool& shared = Shared();
  ScopedLock guard(shared.lock);
  shared.pool.Give(reinterpret_cast<uint8_t*>(buffer), size_t{size} + 1);
}

char* DecodeBuffers::Decode(int method, const uint8_t* src, uint32_t srcLen, uint32_t size,
                            EntryDecodeResult* result) {
  *result = CheckEntryContent(method, src, srcLen, size);
  if (*result != EntryDecodeResult::kDecoded) return nullptr;
  char* buffer = Take(size);
  if (buffer == nullptr) return nullptr;
  *result = DecodeEntryContent(method, src, srcLen, size, reinterpret_cast<uint8_t*>(buffer));
  if (*result == EntryDecodeResult::kDecoded) return buffer;
  Give(buffer, size);
  return nullptr;
}

}  // namespace FileSystem
