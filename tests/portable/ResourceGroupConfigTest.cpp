#include "ResourceGroupConfig.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using FileSystem::DeltaSettings;
using FileSystem::ResourceGroupConfig;
using FileSystem::ResourceGroupConfigResult;
using FileSystem::ResourceGroupInfo;

namespace {

ResourceGroupConfigResult ParseText(ResourceGroupConfig* config, const std::string& text) {
  return config->Parse(text.data(), text.size());
}

TEST(ResourceGroupConfigTest, ReadsSettingsAndGroupsInDocumentOrder) {
  ResourceGroupConfig config;
  const std::string text =
      "<?xml version=\"1.0\"?>\n"
      "<ResourceGroups DeltaPackageCount=\"3\" KeyDeltaPackageSpace=\"10\" "
      "DoubleKeyDeltaPackageSpace=\"true\" HaveDeltaPackage=\"false\">\n"
      "  <Group Name=\"maps\" WholeUpdate=\"true\" UpdateFileCount=\"4\"/>\n"
      "  <Other Name=\"ignored\"/>\n"
      "  <Group Name=\"sounds\"/>\n"
      "</ResourceGroups>";
  ASSERT_EQ(ParseText(&config, text), ResourceGroupConfigResult::kOk);
  DeltaSettings expected;
  expected.deltaPackageCount = 3;
  expected.keyDeltaPackageSpace = 10;
  expected.doubleKeyDeltaPackageSpace = true;
  expected.haveDeltaPackage = false;
  EXPECT_EQ(config.settings, expected);
  const std::vector<ResourceGroupInfo> groups = {{"maps", true, 4}, {"sounds", false, 1}};
  EXPECT_EQ(config.groups, groups);
}

TEST(ResourceGroupConfigTest, AbsentAttributesKeepThePreviousValues) {
  ResourceGroupConfig config;
  config.settings.deltaPackageCount = 9;
  config.settings.keyDeltaPackageSpace = 8;
  config.settings.doubleKeyDeltaPackageSpace = true;
  config.settings.haveDeltaPackage = false;
  const DeltaSettings before = config.settings;
  ASSERT_EQ(ParseText(&config, "<ResourceGroups/>"), ResourceGroupConfigResult::kOk);
  EXPECT_EQ(config.settings, before);
  EXPECT_TRUE(config.groups.empty());
}

struct FlagCase {
  const char* text;
  bool value;
};

class FlagTextTest : public testing::TestWithParam<FlagCase> {};

// Only the exact text "true" is true, for the root's flags and a group's.
TEST_P(FlagTextTest, TrueOnlyForTheExactText) {
  const FlagCase& c = GetParam();
  ResourceGroupConfig config;
  config.settings.haveDeltaPackage = !c.value;
  config.settings.doubleKeyDeltaPackageSpace = !c.value;
  const std::string text = std::string("<ResourceGroups DoubleKeyDeltaPackageSpace=\"") + c.text +
                           "\" HaveDeltaPackage=\"" + c.text + "\"><Group Name=\"g\" WholeUpdate=\"" +
                           c.text + "\"/></ResourceGroups>";
  ASSERT_EQ(ParseText(&config, text), ResourceGroupConfigResult::kOk);
  EXPECT_EQ(config.settings.doubleKeyDeltaPackageSpace, c.value);
  EXPECT_EQ(config.settings.haveDeltaPackage, c.value);
  ASSERT_EQ(config.groups.size(), 1u);
  EXPECT_EQ(config.groups[0].wholeUpdate, c.value);
}

INSTANTIATE_TEST_SUITE_P(Texts, FlagTextTest,
                         testing::Values(FlagCase{"true", true}, FlagCase{"True", false},
                                         FlagCase{"TRUE", false}, FlagCase{"1", false},
                                         FlagCase{" true", false}, FlagCase{"true ", false},
                                         FlagCase{"", false}, FlagCase{"false", false}));

struct IntCase {
  const char* text;
  int value;
};

class IntTextTest : public testing::TestWithParam<IntCase> {};

TEST_P(IntTextTest, ReadsTheLeadingDecimalDigits) {
  EXPECT_EQ(ResourceGroupConfig::ParseInt(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Texts, IntTextTest,
                         testing::Values(IntCase{"12", 12}, IntCase{"12abc", 12},
                                         IntCase{"  7", 7}, IntCase{"-3", -3}, IntCase{"+4", 4},
                                         IntCase{"abc", 0}, IntCase{"", 0}, IntCase{"0x10", 0},
                                         IntCase{"99999999999999999999", 2147483647},
                                         IntCase{"-99999999999999999999", -2147483647 - 1}));

TEST(ResourceGroupConfigTest, NamesAreCaseSensitive) {
  ResourceGroupConfig config;
  EXPECT_EQ(ParseText(&config, "<resourcegroups/>"), ResourceGroupConfigResult::kNoRoot);
  ASSERT_EQ(ParseText(&config,
                      "<ResourceGroups deltapackagecount=\"1\"><group Name=\"a\"/>"
                      "<Group name=\"b\"/><Group Name=\"c\" wholeupdate=\"true\"/></ResourceGroups>"),
            ResourceGroupConfigResult::kOk);
  EXPECT_EQ(config.settings.deltaPackageCount, 5);
  EXPECT_EQ(config.groups, (std::vector<ResourceGroupInfo>{{"c", false, 1}}));
}

// A spacing of 0 or less would leave GetDeltaFromVersion dividing by zero or
// stepping by nothing; it is ignored and the previous spacing stays.
TEST(ResourceGroupConfigTest, IgnoresAKeySpacingOfZeroOrLess) {
  const char* spacings[] = {"0", "-5", "abc", ""};
  for (const char* spacing : spacings) {
    ResourceGroupConfig config;
    config.settings.keyDeltaPackageSpace = 7;
    ASSERT_EQ(ParseText(&config, std::string("<ResourceGroups KeyDeltaPackageSpace=\"") + spacing +
                                     "\"/>"),
              ResourceGroupConfigResult::kOk);
    EXPECT_EQ(config.settings.keyDeltaPackageSpace, 7) << spacing;
  }
}

TEST(ResourceGroupConfigTest, SkipsAGroupWithoutName) {
  ResourceGroupConfig config;
  ASSERT_EQ(ParseText(&config,
                      "<ResourceGroups><Group WholeUpdate=\"true\"/><Group Name=\"\"/>"
                      "</ResourceGroups>"),
            ResourceGroupConfigResult::kOk);
  EXPECT_EQ(config.groups, (std::vector<ResourceGroupInfo>{{"", false, 1}}));
}

// Two names with one key (case folds) are the same group: reported with the
// name, the groups before it kept.
TEST(ResourceGroupConfigTest, ReportsADuplicateGroupName) {
  ResourceGroupConfig config;
  ASSERT_EQ(ParseText(&config,
                      "<ResourceGroups DeltaPackageCount=\"2\"><Group Name=\"a\"/>"
                      "<Group Name=\"Maps\"/><Group Name=\"maps\"/><Group Name=\"z\"/>"
                      "</ResourceGroups>"),
            ResourceGroupConfigResult::kDuplicateName);
  EXPECT_EQ(config.duplicateName, "maps");
  EXPECT_EQ(config.groups,
            (std::vector<ResourceGroupInfo>{{"a", false, 1}, {"Maps", false, 1}}));
  EXPECT_EQ(config.settings.deltaPackageCount, 2);
}

struct NameCase {
  const char* label;
  std::string attribute;  // as written in the file
  std::string name;       // as read
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.label; }

class NameTextTest : public testing::TestWithParam<NameCase> {};

// A name is read as its key and the group's file names see it, and it
// writes back to text that reads to the same name.
TEST_P(NameTextTest, ReadsTheNameAndWritesItBack) {
  ResourceGroupConfig config;
  ASSERT_EQ(ParseText(&config, "<ResourceGroups><Group Name=\"" + GetParam().attribute +
                                   "\"/></ResourceGroups>"),
            ResourceGroupConfigResult::kOk);
  ASSERT_EQ(config.groups.size(), 1u);
  EXPECT_EQ(config.groups[0].name, GetParam().name);
  ResourceGroupConfig back;
  ASSERT_EQ(ParseText(&back, config.Write()), ResourceGroupConfigResult::kOk);
  EXPECT_EQ(back.groups, config.groups);
}

INSTANTIATE_TEST_SUITE_P(
    Names, NameTextTest,
    testing::Values(NameCase{"plain", "maps", "maps"},
                    NameCase{"markup_references", "a&amp;b&lt;&quot;", "a&b<\""},
                    NameCase{"zero_reference_ends_it", "a&#0;b", "a"},
                    NameCase{"zero_reference_first", "&#x0;maps", ""},
                    NameCase{"control_bytes_kept", "a\x1F\x01" "b", "a\x1F\x01" "b"}),
    [](const testing::TestParamInfo<NameCase>& info) { return std::string(info.param.label); });

struct BadTextCase {
  const char* label;
  std::string text;
  ResourceGroupConfigResult result;
};

class BadTextTest : public testing::TestWithParam<BadTextCase> {};

// The parser's errors never leave the unit.
TEST_P(BadTextTest, FailsWithoutThrowing) {
  ResourceGroupConfig config;
  ResourceGroupConfigResult result = ResourceGroupConfigResult::kOk;
  EXPECT_NO_THROW(result = ParseText(&config, GetParam().text));
  EXPECT_EQ(result, GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, BadTextTest,
    testing::Values(BadTextCase{"empty", "", ResourceGroupConfigResult::kEmpty},
                    BadTextCase{"unclosed", "<ResourceGroups>", ResourceGroupConfigResult::kNotXml},
                    BadTextCase{"garbage", "<<<>>>", ResourceGroupConfigResult::kNotXml},
                    BadTextCase{"bad_attribute", "<ResourceGroups a=b/>",
                                ResourceGroupConfigResult::kNotXml},
                    BadTextCase{"cut_in_a_group",
                                "<ResourceGroups><Group Name=\"a", ResourceGroupConfigResult::kNotXml},
                    BadTextCase{"plain_text", "hello", ResourceGroupConfigResult::kNotXml},
                    BadTextCase{"other_root", "<Groups/>", ResourceGroupConfigResult::kNoRoot},
                    BadTextCase{"nul_inside", std::string("<ResourceGroups>\0</ResourceGroups>", 34),
                                ResourceGroupConfigResult::kNotXml}),
    [](const testing::TestParamInfo<BadTextCase>& info) { return std::string(info.param.label); });

TEST(ResourceGroupConfigTest, NothingIsReadOutsideTheGivenBytes) {
  // The buffer holds no terminating NUL; the parser works on a copy that does.
  const std::string text = "<ResourceGroups><Group Name=\"a\"/></ResourceGroups>xxxx";
  ResourceGroupConfig config;
  EXPECT_EQ(config.Parse(text.data(), text.size() - 4), ResourceGroupConfigResult::kOk);
  EXPECT_EQ(config.groups.size(), 1u);
}

TEST(ResourceGroupConfigTest, WriteRoundTripsEverythingIncludingMarkupInNames) {
  ResourceGroupConfig config;
  config.settings.deltaPackageCount = 4;
  config.settings.keyDeltaPackageSpace = 6;
  config.settings.doubleKeyDeltaPackageSpace = true;
  config.settings.haveDeltaPackage = false;
  config.groups = {{"maps", true, 3}, {"a&b <\"c\"> 'd'", false, 1}, {"sounds", false, 12}};
  const std::string text = config.Write();
  ResourceGroupConfig back;
  ASSERT_EQ(ParseText(&back, text), ResourceGroupConfigResult::kOk);
  EXPECT_EQ(back.settings, config.settings);
  EXPECT_EQ(back.groups, config.groups);
}

}  // namespace
