#include "ResourceName.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

using FileSystem::HashResourceName;
using FileSystem::NormalizeResourceName;
using FileSystem::ResourceKey;

namespace {

struct HashCase {
  const char* label;
  std::string name;
  uint32_t hash1;
  uint32_t hash2;
};

// Reference values computed independently of the library.
const HashCase kHashCases[] = {
    {"lower", "abc", 0x3025F862u, 0x1A9B17A1u},
    {"upper folds to lower", "ABC", 0x3025F862u, 0x1A9B17A1u},
    {"empty name", "", 0x00000000u, 0x4E67C6A7u},
    {"slash", "a/b", 0x2FF2EBD4u, 0x1A9B0102u},
    {"backslash reads as slash", "a\\b", 0x2FF2EBD4u, 0x1A9B0102u},
    {"byte 0xE4 is -28", "\xE4", 0xFFFFFFE4u, 0xAEF500CAu},
    {"byte 0xC4 is not folded", "\xC4", 0xFFFFFFC4u, 0xAEF500EAu},
    {"bytes 0x80 and 0xFF", "\x80\xFF", 0xFF7FE07Fu, 0xA4A85544u},
    {"mixed path", "data/Texture/Hero.DDS", 0x7EF27C38u, 0x5169CB85u},
    {"configuration file", "version.pcfg", 0x58BD2AEAu, 0x0A9978B9u},
};

class HashTable : public testing::TestWithParam<HashCase> {};

TEST_P(HashTable, GivesTheReferenceKey) {
  const HashCase& c = GetParam();
  const ResourceKey key = HashResourceName(c.name.c_str());
  EXPECT_EQ(key.hash1, c.hash1) << c.label;
  EXPECT_EQ(key.hash2, c.hash2) << c.label;
}

std::string CaseName(const testing::TestParamInfo<HashCase>& info) {
  std::string name;
  for (const char* p = info.param.label; *p != '\0'; ++p)
    name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Names, HashTable, testing::ValuesIn(kHashCases), CaseName);

TEST(ResourceName, CaseAndSeparatorVariantsShareOneKey) {
  const ResourceKey key = HashResourceName("data/textures/hero.dds");
  for (const char* variant : {"DATA/TEXTURES/HERO.DDS", "Data\\Textures\\Hero.dds",
                              "data\\textures/HERO.dds"}) {
    EXPECT_EQ(HashResourceName(variant), key) << variant;
  }
}

TEST(ResourceName, NonAsciiCaseDiffersInKey) {
  // 0xC4 and 0xE4 are one letter in Latin-1, but only ASCII is folded.
  EXPECT_NE(HashResourceName("\xC4.txt"), HashResourceName("\xE4.txt"));
}

TEST(ResourceName, NormalizeLowersAsciiAndTurnsBackslashes) {
  char name[] = "Data\\Sub/FILE.Txt\xC4\xE4";
  NormalizeResourceName(name);
  EXPECT_STREQ(name, "data/sub/file.txt\xC4\xE4");
}

TEST(ResourceName, NormalizedNameHashesLikeTheOriginal) {
  char name[] = "UI\\Login\\Button.PNG";
  const ResourceKey before = HashResourceName(name);
  NormalizeResourceName(name);
  EXPECT_EQ(HashResourceName(name), before);
}

TEST(ResourceName, KeysOrderByHash1ThenHash2Unsigned) {
  EXPECT_LT((ResourceKey{1, 0xFFFFFFFFu}), (ResourceKey{2, 0}));
  EXPECT_LT((ResourceKey{0x7FFFFFFFu, 5}), (ResourceKey{0x80000000u, 0}));
  EXPECT_LT((ResourceKey{3, 4}), (ResourceKey{3, 5}));
  EXPECT_FALSE((ResourceKey{3, 5}) < (ResourceKey{3, 5}));
}

}  // namespace
