// The pool of decode buffers: classes, reuse, and the bound on what it keeps.
#include "BufferPool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using FileSystem::BufferPool;

namespace {

constexpr size_t kMin = 64 * 1024;

struct ClassCase {
  size_t asked;
  size_t classSize;
};

TEST(BufferPool, ClassesAreQuartersOfPowersOfTwo) {
  BufferPool pool(kMin, 1 << 24);
  const std::vector<ClassCase> cases = {
      {kMin - 1, kMin - 1},           // below the pooled sizes: exact
      {kMin, kMin},                   // a power of two is its own class
      {kMin + 1, kMin + kMin / 4},    // just above: the next quarter
      {1048576, 1048576},
      {1048577, 1310720},
      {1310720, 1310720},
      {1310721, 1572864},
      {2097151, 2097152},             // just below a power: that power
  };
  for (const ClassCase& c : cases) {
    EXPECT_EQ(pool.ClassSize(c.asked), c.classSize) << c.asked;
    EXPECT_GE(pool.ClassSize(c.asked), c.asked);
  }
}

TEST(BufferPool, AGivenBlockServesTheNextTakeOfItsClass) {
  BufferPool pool(kMin, 1 << 24);
  uint8_t* first = pool.Take(1048577);
  ASSERT_NE(first, nullptr);
  std::memset(first, 1, pool.ClassSize(1048577));
  pool.Give(first, 1048577);
  EXPECT_EQ(pool.KeptBytes(), pool.ClassSize(1048577));
  // Another size of the same class gets the same block.
  uint8_t* second = pool.Take(1200000);
  EXPECT_EQ(second, first);
  EXPECT_EQ(pool.KeptBytes(), 0u);
  // Another class does not.
  uint8_t* third = pool.Take(3000000);
  ASSERT_NE(third, nullptr);
  EXPECT_NE(third, first);
  pool.Give(second, 1200000);
  pool.Give(third, 3000000);
}

TEST(BufferPool, SmallBlocksAreNeverKept) {
  BufferPool pool(kMin, 1 << 24);
  uint8_t* block = pool.Take(100);
  ASSERT_NE(block, nullptr);
  pool.Give(block, 100);
  EXPECT_EQ(pool.KeptBytes(), 0u);
  uint8_t* none = pool.Take(0);
  ASSERT_NE(none, nullptr);
  pool.Give(none, 0);
}

TEST(BufferPool, KeepsNoMoreThanItsBound) {
  const size_t bound = 3 * 1048576;
  BufferPool pool(kMin, bound);
  std::vector<uint8_t*> blocks;
  for (int i = 0; i < 5; ++i) blocks.push_back(pool.Take(1048576));
  for (uint8_t* b : blocks) {
    ASSERT_NE(b, nullptr);
    pool.Give(b, 1048576);
    EXPECT_LE(pool.KeptBytes(), bound);
  }
  EXPECT_EQ(pool.KeptBytes(), bound);
  // The kept ones come back, then fresh ones.
  for (int i = 0; i < 5; ++i) blocks[i] = pool.Take(1048576);
  EXPECT_EQ(pool.KeptBytes(), 0u);
  for (uint8_t* b : blocks) pool.Give(b, 1048576);
}

TEST(BufferPool, NullIsIgnored) {
  BufferPool pool(kMin, 1 << 24);
  pool.Give(nullptr, 1048576);
  EXPECT_EQ(pool.KeptBytes(), 0u);
}

}  // namespace
