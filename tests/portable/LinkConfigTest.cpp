#include "FileLinkConfig.h"
#include "VersionConfig.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ByteWriter.h"

using FileSystem::ByteWriter;
using FileSystem::FileLinkConfig;
using FileSystem::LinkGroup;
using FileSystem::ResourceKey;
using FileSystem::VersionConfig;
using FileSystem::VersionEntry;

namespace {

const ResourceKey kA{0x11111111u, 0x22222222u};
const ResourceKey kB{0x33333333u, 0x44444444u};
const ResourceKey kC{0x55555555u, 0x66666666u};

std::vector<uint8_t> Words(std::initializer_list<uint32_t> words) {
  ByteWriter writer;
  for (uint32_t w : words) writer.U32(w);
  return writer.Take();
}

TEST(VersionConfigTest, WritesTheExactLayout) {
  VersionConfig config;
  config.versions = {VersionEntry{kA, 7}};
  config.links = {LinkGroup{kB, {kC}}};
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(config.Write(&bytes));
  const std::vector<uint8_t> expected = {
      1, 0, 0, 0,                                              // N1
      0x11, 0x11, 0x11, 0x11, 0x22, 0x22, 0x22, 0x22, 7, 0,    // entry
      1, 0, 0, 0,                                              // N2
      2, 0, 0, 0,                                              // count, target included
      0x33, 0x33, 0x33, 0x33, 0x44, 0x44, 0x44, 0x44,          // target
      0x55, 0x55, 0x55, 0x55, 0x66, 0x66, 0x66, 0x66};         // member
  EXPECT_EQ(bytes, expected);
}

TEST(VersionConfigTest, RoundTripsVersionsAndLinks) {
  VersionConfig config;
  config.versions = {VersionEntry{kA, 1}, VersionEntry{kB, 65535}, VersionEntry{kC, 0}};
  config.links = {LinkGroup{kA, {kB, kC}}, LinkGroup{kC, {}}};
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(config.Write(&bytes));
  VersionConfig back;
  ASSERT_TRUE(back.Parse(bytes.data(), bytes.size()));
  EXPECT_EQ(back.versions, config.versions);
  EXPECT_EQ(back.links, config.links);
}

TEST(VersionConfigTest, EmptyListsAreEightBytes) {
  VersionConfig config;
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(config.Write(&bytes));
  EXPECT_EQ(bytes, Words({0, 0}));
  EXPECT_TRUE(config.Parse(bytes.data(), bytes.size()));
}

// Counts whose product with the record size wraps in 32 bits must not pass
// the bounds check: 0x1999999A x 10 = 0x100000004.
TEST(VersionConfigTest, RefusesVersionCountsBeyondTheBuffer) {
  const uint32_t counts[] = {1, 0x1999999Au, 0xFFFFFFFFu, 0x80000000u};
  for (uint32_t count : counts) {
    std::vector<uint8_t> bytes = Words({count, 0});
    VersionConfig config;
    EXPECT_FALSE(config.Parse(bytes.data(), bytes.size())) << count;
    EXPECT_TRUE(config.versions.empty()) << count;
  }
}

TEST(VersionConfigTest, RefusesAnEmptyOrMissingBuffer) {
  VersionConfig config;
  EXPECT_FALSE(config.Parse(nullptr, 0));
  const uint8_t three[3] = {0, 0, 0};
  EXPECT_FALSE(config.Parse(three, sizeof(three)));
  const std::vector<uint8_t> noLinkCount = Words({0});
  EXPECT_FALSE(config.Parse(noLinkCount.data(), noLinkCount.size()));
}

struct MemberlessCase {
  const char* label;
  uint32_t count;
};

class LinkGroupCountTest : public testing::TestWithParam<MemberlessCase> {};

// A count of 0 is not 2^32 - 1 members: the record ends after its target and
// the next record is read where it really starts.
TEST_P(LinkGroupCountTest, CarriesNoMembersAndKeepsTheNextGroupAligned) {
  std::vector<uint8_t> bytes = Words({GetParam().count, kA.hash1, kA.hash2,  // memberless
                                      2, kB.hash1, kB.hash2, kC.hash1, kC.hash2});
  std::vector<uint8_t> file = Words({2});
  file.insert(file.end(), bytes.begin(), bytes.end());
  FileLinkConfig config;
  ASSERT_TRUE(config.Parse(file.data(), file.size()));
  ASSERT_EQ(config.links.size(), 2u);
  EXPECT_EQ(config.links[0].target, kA);
  EXPECT_TRUE(config.links[0].members.empty());
  EXPECT_EQ(config.links[1], (LinkGroup{kB, {kC}}));
}

INSTANTIATE_TEST_SUITE_P(Counts, LinkGroupCountTest,
                         testing::Values(MemberlessCase{"zero", 0}, MemberlessCase{"one", 1}),
                         [](const testing::TestParamInfo<MemberlessCase>& info) {
                           return std::string(info.param.label);
                         });

TEST(FileLinkConfigTest, KeepsTheMembersReadBeforeABreak) {
  // Two groups announced; the second claims three members but holds one.
  std::vector<uint8_t> file = Words({2, 2, kA.hash1, kA.hash2, kB.hash1, kB.hash2,
                                     4, kC.hash1, kC.hash2, kA.hash1, kA.hash2, kB.hash1});
  FileLinkConfig config;
  EXPECT_FALSE(config.Parse(file.data(), file.size()));
  ASSERT_EQ(config.links.size(), 2u);
  EXPECT_EQ(config.links[0], (LinkGroup{kA, {kB}}));
  EXPECT_EQ(config.links[1], (LinkGroup{kC, {kA}}));
}

TEST(FileLinkConfigTest, AHugeMemberCountFailsWithoutReservingIt) {
  std::vector<uint8_t> file = Words({1, 0xFFFFFFFFu, kA.hash1, kA.hash2});
  FileLinkConfig config;
  EXPECT_FALSE(config.Parse(file.data(), file.size()));
  ASSERT_EQ(config.links.size(), 1u);
  EXPECT_TRUE(config.links[0].members.empty());
}

TEST(FileLinkConfigTest, RoundTrips) {
  FileLinkConfig config;
  config.links = {LinkGroup{kC, {kA, kB}}};
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(config.Write(&bytes));
  EXPECT_EQ(bytes.size(), 4u + 4u + 8u * 3u);
  FileLinkConfig back;
  ASSERT_TRUE(back.Parse(bytes.data(), bytes.size()));
  EXPECT_EQ(back.links, config.links);
}

TEST(VersionConfigTest, KeepsTheLinkMembersReadBeforeABreak) {
  std::vector<uint8_t> file = Words({1, kA.hash1, kA.hash2});
  file.push_back(3);  // version 3, low byte
  file.push_back(0);
  std::vector<uint8_t> tail = Words({1, 3, kB.hash1, kB.hash2, kC.hash1, kC.hash2});
  file.insert(file.end(), tail.begin(), tail.end());
  VersionConfig config;
  EXPECT_FALSE(config.Parse(file.data(), file.size()));
  EXPECT_EQ(config.versions, (std::vector<VersionEntry>{VersionEntry{kA, 3}}));
  ASSERT_EQ(config.links.size(), 1u);
  EXPECT_EQ(config.links[0], (LinkGroup{kB, {kC}}));
}

// What local mode has always accepted from stored files, and what it keeps
// of a file that breaks off: the pairs read before the break, no more.
struct LocalLinkCase {
  const char* label;
  bool versionFile;  // "version.pcfg" (one version record first), else "filelink.pcfg"
  std::vector<uint32_t> linkWords;  // from the group count on
  std::vector<uint8_t> tail;        // raw bytes after the words
  bool parsed;
  std::vector<LinkGroup> links;
};

std::vector<uint8_t> LocalFile(const LocalLinkCase& c) {
  std::vector<uint8_t> file;
  if (c.versionFile) {
    file = Words({1, kA.hash1, kA.hash2});
    file.push_back(9);  // version 9
    file.push_back(0);
  }
  ByteWriter writer;
  for (uint32_t w : c.linkWords) writer.U32(w);
  const std::vector<uint8_t> words = writer.Take();
  file.insert(file.end(), words.begin(), words.end());
  file.insert(file.end(), c.tail.begin(), c.tail.end());
  return file;
}

class LocalLinkTest : public testing::TestWithParam<LocalLinkCase> {};

TEST_P(LocalLinkTest, ParsesAsLocalModeReadsIt) {
  const LocalLinkCase& c = GetParam();
  const std::vector<uint8_t> file = LocalFile(c);
  std::vector<LinkGroup> links;
  bool parsed = false;
  if (c.versionFile) {
    VersionConfig config;
    parsed = config.Parse(file.data(), file.size());
    links = config.links;
  } else {
    FileLinkConfig config;
    parsed = config.Parse(file.data(), file.size());
    links = config.links;
  }
  EXPECT_EQ(parsed, c.parsed);
  EXPECT_EQ(links, c.links);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LocalLinkTest,
    testing::Values(
        LocalLinkCase{"link_file_trailing_bytes_ignored", false,
                      {1, 2, kA.hash1, kA.hash2, kB.hash1, kB.hash2}, {0xEE, 0xEE, 0xEE}, true,
                      {LinkGroup{kA, {kB}}}},
        LocalLinkCase{"version_file_trailing_bytes_ignored", true,
                      {1, 2, kA.hash1, kA.hash2, kB.hash1, kB.hash2}, {0xEE}, true,
                      {LinkGroup{kA, {kB}}}},
        LocalLinkCase{"version_file_cut_in_the_group_count", true, {}, {1, 0}, false, {}},
        LocalLinkCase{"link_file_cut_in_a_target_keeps_the_groups_before", false,
                      {2, 2, kA.hash1, kA.hash2, kB.hash1, kB.hash2, 2, kC.hash1}, {}, false,
                      {LinkGroup{kA, {kB}}}},
        LocalLinkCase{"link_file_cut_in_a_member_keeps_the_members_before", false,
                      {1, 3, kC.hash1, kC.hash2, kA.hash1, kA.hash2, kB.hash1}, {}, false,
                      {LinkGroup{kC, {kA}}}},
        LocalLinkCase{"link_file_without_groups", false, {0}, {}, true, {}},
        LocalLinkCase{"link_file_empty", false, {}, {}, false, {}}),
    [](const testing::TestParamInfo<LocalLinkCase>& info) {
      return std::string(info.param.label);
    });

}  // namespace
