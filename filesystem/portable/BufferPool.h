// Large blocks kept for reuse after their holders are done with them.
// Portable and not locked: its one shared instance is guarded by its owner.
//
// A heap that hands large blocks back to the system on every free makes the
// next holder fault in every page again; decoding an entry into a block that
// was just used costs none of that. Blocks are grouped by size class (four
// classes per power of two, so a block is at most a quarter larger than
// asked), and what is kept stays within a bound in bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace FileSystem {

class BufferPool {
 public:
  // Blocks below minPooled bytes are plain heap blocks, never kept; at most
  // maxKept bytes of free blocks are kept.
  BufferPool(size_t minPooled, size_t maxKept);
  ~BufferPool();
  BufferPool(const BufferPool&) = delete;
  BufferPool& operator=(const BufferPool&) = delete;

  // A block of at least n bytes (a kept one of n's class when there is one);
  // null when no memory can be had. Every block is a malloc block, ended by
  // Give with the same n.
  uint8_t* Take(size_t n);
  // Keeps the block for the next Take of its class while the bound allows,
  // else frees it. Null is ignored.
  void Give(uint8_t* block, size_t n);

  size_t KeptBytes() const { return kept_; }
  // The size of the blocks that serve n bytes.
  size_t ClassSize(size_t n) const;

 private:
  static constexpr int kClassesPerPower = 4;
  static constexpr int kClassCount = 64 * kClassesPerPower;

  // -1 for sizes that are never kept.
  int ClassOf(size_t n, size_t* classSize) const;

  const size_t minPooled_;
  const size_t maxKept_;
  size_t kept_ = 0;
  // Each free block holds the link to the next free block of its class.
  uint8_t* free_[kClassCount] = {};
};

}  // namespace FileSystem
