#include "BufferPool.h"

#include <cstdlib>
#include <cstring>

namespace FileSystem {

namespace {

uint8_t* NextOf(uint8_t* block) {
  uint8_t* next;
  std::memcpy(&next, block, sizeof next);
  return next;
}

void SetNext(uint8_t* block, uint8_t* next) { std::memcpy(block, &next, sizeof next); }

int HighestBit(size_t n) {
  int bit = 0;
  while (n >>= 1) ++bit;
  return bit;
}

}  // namespace

BufferPool::BufferPool(size_t minPooled, size_t maxKept)
    : minPooled_(minPooled < sizeof(uint8_t*) ? sizeof(uint8_t*) : minPooled), maxKept_(maxKept) {}

BufferPool::~BufferPool() {
  for (uint8_t*& head : free_) {
    while (head != nullptr) {
      uint8_t* next = NextOf(head);
      std::free(head);
      head = next;
    }
  }
}

int BufferPool::ClassOf(size_t n, size_t* classSize) const {
  *classSize = n;
  // Above half the address space the rounding could wrap.
  if (n < minPooled_ || n > SIZE_MAX / 2) return -1;
  const int power = HighestBit(n);
  const size_t base = size_t{1} << power;
  const size_t step = base / kClassesPerPower;
  if (step == 0) return -1;
  // Sizes just below the next power share its class (quarter 4 of this one
  // is quarter 0 of the next).
  const size_t quarter = (n - base + step - 1) / step;
  const int index = power * kClassesPerPower + static_cast<int>(quarter);
  *classSize = base + quarter * step;
  return index < kClassCount ? index : -1;
}

size_t BufferPool::ClassSize(size_t n) const {
  size_t classSize;
  ClassOf(n, &classSize);
  return classSize;
}

uint8_t* BufferPool::Take(size_t n) {
  size_t classSize;
  const int index = ClassOf(n, &classSize);
  if (index >= 0 && free_[index] != nullptr) {
    uint8_t* block = free_[index];
    free_[index] = NextOf(block);
    kept_ -= classSize;
    return block;
  }
  return static_cast<uint8_t*>(std::malloc(classSize == 0 ? 1 : classSize));
}

void BufferPool::Give(uint8_t* block, size_t n) {
  if (block == nullptr) return;
  size_t classSize;
  const int index = ClassOf(n, &classSize);
  if (index < 0 || classSize > maxKept_ - kept_) {
    std::free(block);
    return;
  }
  SetNext(block, free_[index]);
  free_[index] = block;
  kept_ += classSize;
}

}  // namespace FileSystem
