#include "DownloadPackageName.h"

#include <gtest/gtest.h>

#include <string>

using FileSystem::DeltaSettings;
using FileSystem::DownloadPackageId;
using FileSystem::GetDeltaFromVersion;
using FileSystem::ParsePackageName;
using FileSystem::ResourceKey;

namespace {

TEST(DownloadPackageNameTest, FormatsFullAndDeltaNames) {
  const ResourceKey key{0x3025F862u, 0x00000a01u};
  EXPECT_EQ(FileSystem::FullPackageName(key, 7), "3025f862_00000a01_7.pak");
  EXPECT_EQ(FileSystem::DeltaPackageName(key, 60, 100), "3025f862_00000a01_60_100.pak");
  EXPECT_EQ(FileSystem::FullPackageName(ResourceKey{0, 0}, 0), "00000000_00000000_0.pak");
  EXPECT_EQ(FileSystem::FullPackageName(ResourceKey{0xFFFFFFFFu, 0xFFFFFFFFu}, 4294967295u),
            "ffffffff_ffffffff_4294967295.pak");
}

TEST(DownloadPackageNameTest, ParsesWhatItFormats) {
  const DownloadPackageId ids[] = {
      {ResourceKey{1, 2}, false, 0, 3},
      {ResourceKey{0xdeadbeefu, 0x0badf00du}, true, 60, 100},
      {ResourceKey{0, 0}, true, 0, 0},
  };
  for (const DownloadPackageId& id : ids) {
    DownloadPackageId back;
    ASSERT_TRUE(ParsePackageName(FileSystem::PackageName(id), &back)) << FileSystem::PackageName(id);
    EXPECT_EQ(back, id);
  }
}

class BadNameTest : public testing::TestWithParam<const char*> {};

TEST_P(BadNameTest, IsRefused) {
  DownloadPackageId id;
  EXPECT_FALSE(ParsePackageName(GetParam(), &id));
}

INSTANTIATE_TEST_SUITE_P(Names, BadNameTest,
                         testing::Values("", "3025f862_00000a01_7", "3025F862_00000a01_7.pak",
                                         "3025f86_00000a01_7.pak", "3025f862-00000a01_7.pak",
                                         "3025f862_00000a01_.pak", "3025f862_00000a01_07.pak",
                                         "3025f862_00000a01_4294967296.pak",
                                         "3025f862_00000a01_1_2_3.pak", "3025f862_00000a01_7.pakx",
                                         "3025f862_00000a01_-7.pak", "3025f862_00000a01_7_.pak"));

struct DeltaCase {
  uint32_t local;
  uint32_t listed;
  int count;
  int space;
  bool doubled;
  uint32_t from;
};

class DeltaFromVersionTest : public testing::TestWithParam<DeltaCase> {};

TEST_P(DeltaFromVersionTest, ChoosesTheFromVersion) {
  const DeltaCase& c = GetParam();
  DeltaSettings settings;
  settings.deltaPackageCount = c.count;
  settings.keyDeltaPackageSpace = c.space;
  settings.doubleKeyDeltaPackageSpace = c.doubled;
  EXPECT_EQ(GetDeltaFromVersion(c.local, c.listed, settings), c.from);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, DeltaFromVersionTest,
    testing::Values(DeltaCase{95, 100, 5, 5, true, 95}, DeltaCase{80, 100, 5, 5, true, 80},
                    DeltaCase{85, 100, 5, 5, true, 60}, DeltaCase{50, 100, 5, 5, true, 0},
                    DeltaCase{37, 100, 5, 5, false, 7},
                    // near enough: from the local version itself
                    DeltaCase{3, 8, 5, 5, false, 3}, DeltaCase{100, 100, 5, 5, true, 100},
                    DeltaCase{120, 100, 5, 5, true, 120},
                    // doubled spacing from an empty local copy
                    DeltaCase{0, 100, 5, 5, true, 0}));

// Settings that once divided by zero or stepped forever: every call returns.
INSTANTIATE_TEST_SUITE_P(
    Hostile, DeltaFromVersionTest,
    testing::Values(DeltaCase{37, 100, 5, 0, false, 37},   // spacing 0 counts as 1
                    DeltaCase{37, 100, 5, -4, false, 37},  // negative spacing too
                    DeltaCase{1, 100, 5, 0, true, 0},
                    // 0xFFFFFFFF is far beyond 2^31 steps of doubling in 32 bits
                    DeltaCase{1, 0xFFFFFFFFu, 0, 1, true, 0},
                    DeltaCase{0xFFFFFFFEu, 0xFFFFFFFFu, 0, 1, true, 0xFFFFFFFEu},
                    // a count above the listed version never underflows
                    DeltaCase{1, 3, 1000, 5, true, 1},
                    DeltaCase{1, 0xFFFFFFFFu, -1, 5, true, 1},
                    DeltaCase{10, 0xFFFFFFFFu, 2147483647, 2147483647, true, 0}));

}  // namespace
