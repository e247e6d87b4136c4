#include "GroupFileList.h"
#include "SingleFileList.h"
#include "UpdateRuleFile.h"
#include "UpdateRuleList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ByteWriter.h"

using FileSystem::ByteWriter;
using FileSystem::GroupFileList;
using FileSystem::ResourceKey;
using FileSystem::SingleFileList;
using FileSystem::UpdateRuleEntry;
using FileSystem::UpdateRuleFile;
using FileSystem::UpdateRuleKey;
using FileSystem::UpdateRuleList;
using FileSystem::UpdateRuleRecord;

namespace {

const ResourceKey kA{1, 2};
const ResourceKey kB{3, 4};
const ResourceKey kC{5, 6};

std::vector<uint8_t> Words(std::initializer_list<uint32_t> words) {
  ByteWriter writer;
  for (uint32_t w : words) writer.U32(w);
  return writer.Take();
}

TEST(GroupFileListTest, RoundTripsItsThreeBlocks) {
  GroupFileList list;
  list.firstFiles = {kA, kB};
  list.subGroups = {kC};
  list.lastFiles = {};
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(list.Write(&bytes));
  EXPECT_EQ(bytes, Words({2, 1, 2, 3, 4, 1, 5, 6, 0}));
  GroupFileList back;
  ASSERT_TRUE(back.Parse(bytes.data(), bytes.size()));
  EXPECT_EQ(back.firstFiles, list.firstFiles);
  EXPECT_EQ(back.subGroups, list.subGroups);
  EXPECT_EQ(back.lastFiles, list.lastFiles);
}

TEST(GroupFileListTest, EveryCutFailsAndLeavesNothing) {
  GroupFileList list;
  list.firstFiles = {kA};
  list.subGroups = {kB};
  list.lastFiles = {kC};
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(list.Write(&bytes));
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    GroupFileList back;
    EXPECT_FALSE(back.Parse(bytes.data(), cut)) << cut;
    EXPECT_TRUE(back.firstFiles.empty() && back.subGroups.empty() && back.lastFiles.empty())
        << cut;
  }
}

TEST(GroupFileListTest, NamesItsConfigurationAndPackage) {
  EXPECT_EQ(GroupFileList::ConfigFileName("maps"), "maps.pcfg");
  EXPECT_EQ(GroupFileList::PackageFileName("maps"), "maps.pak");
}

struct SizeCase {
  const char* label;
  std::vector<uint8_t> bytes;
  bool accepted;
  size_t files;
};

class SingleFileListSizeTest : public testing::TestWithParam<SizeCase> {};

TEST_P(SingleFileListSizeTest, AcceptsAtLeastFourPlusEightN) {
  const SizeCase& c = GetParam();
  SingleFileList list;
  EXPECT_EQ(list.Parse(c.bytes.data(), c.bytes.size()), c.accepted);
  EXPECT_EQ(list.files.size(), c.files);
}

std::vector<uint8_t> WithExtra(std::vector<uint8_t> bytes, size_t extra) {
  bytes.resize(bytes.size() + extra, 0xAB);
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SingleFileListSizeTest,
    testing::Values(SizeCase{"empty", {}, false, 0},
                    SizeCase{"three_bytes", {0, 0, 0}, false, 0},
                    SizeCase{"no_files", Words({0}), true, 0},
                    SizeCase{"one_pair_in_12_bytes", Words({1, 1, 2}), true, 1},
                    SizeCase{"two_pairs_in_12_bytes", Words({2, 1, 2}), false, 0},
                    SizeCase{"extra_bytes_ignored", WithExtra(Words({1, 1, 2}), 5), true, 1},
                    // 8 x 0x20000000 wraps to 0 in 32 bits.
                    SizeCase{"count_whose_size_wraps", Words({0x20000000u}), false, 0},
                    SizeCase{"largest_count", Words({0xFFFFFFFFu, 1, 2}), false, 0}),
    [](const testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.label); });

TEST(SingleFileListTest, RoundTrips) {
  SingleFileList list;
  list.files = {kC, kA};
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(list.Write(&bytes));
  SingleFileList back;
  ASSERT_TRUE(back.Parse(bytes.data(), bytes.size()));
  EXPECT_EQ(back.files, list.files);
}

class UpdateRuleListSizeTest : public testing::TestWithParam<SizeCase> {};

TEST_P(UpdateRuleListSizeTest, AcceptsExactlyFourPlusEightN) {
  const SizeCase& c = GetParam();
  UpdateRuleList list;
  EXPECT_EQ(list.Parse(c.bytes.data(), c.bytes.size()), c.accepted);
  EXPECT_EQ(list.rules.size(), c.files);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, UpdateRuleListSizeTest,
    testing::Values(SizeCase{"empty", {}, false, 0},
                    SizeCase{"no_rules", Words({0}), true, 0},
                    SizeCase{"one_rule_in_12_bytes", Words({1, 7, 2}), true, 1},
                    SizeCase{"one_rule_and_an_extra_byte", WithExtra(Words({1, 7, 2}), 1), false, 0},
                    SizeCase{"one_rule_cut", {1, 0, 0, 0, 7, 0, 0, 0, 2, 0, 0}, false, 0},
                    SizeCase{"count_whose_size_wraps", Words({0x20000000u}), false, 0},
                    SizeCase{"count_whose_size_wraps_to_8", Words({0x20000001u, 1, 2}), false, 0}),
    [](const testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.label); });

TEST(UpdateRuleListTest, ARecordIsKeyedByLevelThenMap) {
  std::vector<uint8_t> bytes = Words({1, 7, 2});
  UpdateRuleList list;
  ASSERT_TRUE(list.Parse(bytes.data(), bytes.size()));
  ASSERT_EQ(list.rules.size(), 1u);
  EXPECT_EQ(list.rules[0], (UpdateRuleRecord{7, 2}));
  EXPECT_EQ(UpdateRuleList::KeyOf(list.rules[0]), (UpdateRuleKey{2, 7}));
}

TEST(UpdateRuleListTest, KeysCompareAsSignedNumbers) {
  const UpdateRuleKey negative = UpdateRuleList::KeyOf(UpdateRuleRecord{0, 0xFFFFFFFFu});
  EXPECT_EQ(negative.level, -1);
  EXPECT_TRUE(negative < (UpdateRuleKey{0, 0}));
}

TEST(UpdateRuleListTest, RoundTrips) {
  UpdateRuleList list;
  list.rules = {UpdateRuleRecord{7, 2}, UpdateRuleRecord{0, 0}};
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(list.Write(&bytes));
  EXPECT_EQ(bytes, Words({2, 7, 2, 0, 0}));
}

UpdateRuleEntry GroupEntry(const std::string& name) {
  UpdateRuleEntry entry;
  entry.isGroup = true;
  entry.name = name;
  return entry;
}

UpdateRuleEntry FileEntry(const ResourceKey& key) {
  UpdateRuleEntry entry;
  entry.key = key;
  return entry;
}

TEST(UpdateRuleFileTest, WritesGroupAndFileEntries) {
  UpdateRuleFile file;
  file.entries = {GroupEntry("ab"), FileEntry(kB)};
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(file.Write(&bytes));
  const std::vector<uint8_t> expected = {2, 0, 0, 0, 1, 2, 'a', 'b', 0, 3, 0, 0, 0, 4, 0, 0, 0};
  EXPECT_EQ(bytes, expected);
  UpdateRuleFile back;
  ASSERT_TRUE(back.Parse(bytes.data(), bytes.size()));
  EXPECT_EQ(back.entries, file.entries);
}

TEST(UpdateRuleFileTest, AShortReadKeepsTheEntriesBeforeIt) {
  UpdateRuleFile file;
  file.entries = {FileEntry(kA), GroupEntry("maps"), FileEntry(kC)};
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(file.Write(&bytes));
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    UpdateRuleFile back;
    EXPECT_FALSE(back.Parse(bytes.data(), cut)) << cut;
    const size_t whole = cut < 13 ? 0 : cut < 19 ? 1 : 2;
    EXPECT_EQ(back.entries.size(), whole) << cut;
  }
}

TEST(UpdateRuleFileTest, AnEmptyListIsFourBytesAndAnEmptyFileFails) {
  UpdateRuleFile file;
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(file.Write(&bytes));
  EXPECT_EQ(bytes, Words({0}));
  EXPECT_TRUE(file.Parse(bytes.data(), bytes.size()));
  EXPECT_FALSE(file.Parse(bytes.data(), 0));
}

TEST(UpdateRuleFileTest, RefusesToWriteANameLongerThan255Bytes) {
  UpdateRuleFile file;
  file.entries = {GroupEntry(std::string(256, 'g'))};
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(file.Write(&bytes));
  file.entries = {GroupEntry(std::string(255, 'g'))};
  ASSERT_TRUE(file.Write(&bytes));
  UpdateRuleFile back;
  ASSERT_TRUE(back.Parse(bytes.data(), bytes.size()));
  EXPECT_EQ(back.entries, file.entries);
}

TEST(UpdateRuleFileTest, NamesTheRuleFileByIndex) {
  EXPECT_EQ(UpdateRuleFile::FileName(0), "updaterule_0.pcfg");
  EXPECT_EQ(UpdateRuleFile::FileName(12), "updaterule_12.pcfg");
  EXPECT_EQ(UpdateRuleFile::FileName(-2147483647 - 1), "updaterule_-2147483648.pcfg");
}

}  // namespace
