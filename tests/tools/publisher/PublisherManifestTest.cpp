// The manifest text and the checks the tree builder makes before it lays out
// anything.
#include <gtest/gtest.h>

#include <string>

#include "DownloadPackageName.h"
#include "DownloadTreeBuilder.h"
#include "PublisherManifest.h"
#include "TestSupport.h"

using Publisher::Manifest;
using Publisher::ParseManifest;

namespace {

const std::string kHead = "product p\nserverversion 2\n";

TEST(PublisherManifestTest, ReadsEveryStatement) {
  Manifest m;
  std::string error;
  ASSERT_TRUE(ParseManifest(kHead +
                                "configversion 4\nconfigmethod 2\n"
                                "settings DeltaPackageCount=1 KeyDeltaPackageSpace=3 "
                                "DoubleKeyDeltaPackageSpace=true HaveDeltaPackage=false\n"
                                "  # indented comment\n\n"
                                "file a 1 2:0 source=x/y capacity=10\n"
                                "loose b 2 1 path=d/b attributes=33 time=99\n"
                                "removed c 3 loose\n"
                                "group g 5 whole count=-2\nfirst a\nsub h\nlast b c\n"
                                "group h 6\n"
                                "rule -1 9\nrulefile a\nrulegroup g\n"
                                "delta a 0 1\n",
                            &m, &error))
      << error;
  EXPECT_EQ(m.product, "p");
  EXPECT_EQ(m.serverVersion, 2);
  EXPECT_EQ(m.configVersion, 4);
  EXPECT_EQ(m.configMethod, 2);
  EXPECT_TRUE(m.settings.doubleKeyDeltaPackageSpace);
  EXPECT_FALSE(m.settings.haveDeltaPackage);
  EXPECT_EQ(m.settings.keyDeltaPackageSpace, 3);
  ASSERT_EQ(m.resources.size(), 3u);
  EXPECT_EQ(m.resources[0].method, 2);
  EXPECT_EQ(m.resources[0].wantedMethod, 0);
  EXPECT_TRUE(m.resources[0].wantedGiven);
  EXPECT_EQ(m.resources[0].source, "x/y");
  EXPECT_EQ(m.resources[0].capacity, 10u);
  EXPECT_TRUE(m.resources[1].loose);
  EXPECT_EQ(m.resources[1].path, "d/b");
  EXPECT_EQ(m.resources[1].attributes, 33u);
  EXPECT_EQ(m.resources[1].time, 99u);
  EXPECT_TRUE(m.resources[2].removed && m.resources[2].loose);
  ASSERT_EQ(m.groups.size(), 2u);
  EXPECT_TRUE(m.groups[0].wholeUpdate);
  EXPECT_EQ(m.groups[0].updateFileCount, -2);
  EXPECT_EQ(m.groups[0].lastFiles, (std::vector<std::string>{"b", "c"}));
  ASSERT_EQ(m.rules.size(), 1u);
  EXPECT_EQ(m.rules[0].level, -1);
  EXPECT_EQ(m.rules[0].map, 9);
  ASSERT_EQ(m.rules[0].items.size(), 2u);
  EXPECT_TRUE(m.rules[0].items[1].isGroup);
  ASSERT_EQ(m.deltas.size(), 1u);
}

struct BadManifest {
  const char* label;
  std::string text;
  const char* error;
};

class BadManifestTest : public testing::TestWithParam<BadManifest> {};

TEST_P(BadManifestTest, IsRefusedWithTheLine) {
  Manifest m;
  std::string error;
  EXPECT_FALSE(ParseManifest(GetParam().text, &m, &error));
  EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadManifestTest,
    testing::Values(
        BadManifest{"no_product", "serverversion 1\n", "no product statement"},
        BadManifest{"no_server_version", "product p\n", "no serverversion statement"},
        BadManifest{"unknown", kHead + "fiel a 1 0\n", "line 3: unknown statement \"fiel\""},
        BadManifest{"version_zero", kHead + "file a 0 0\n", "line 3: bad version \"0\""},
        BadManifest{"version_too_big", kHead + "file a 65536 0\n", "line 3: bad version \"65536\""},
        BadManifest{"method_three", kHead + "file a 1 3\n", "line 3: bad method \"3\""},
        BadManifest{"wanted_three", kHead + "file a 1 1:3\n", "line 3: bad method \"1:3\""},
        BadManifest{"loose_option_on_file", kHead + "file a 1 0 path=x\n",
                    "line 3: bad option \"path=x\""},
        BadManifest{"member_before_group", kHead + "first a\n", "line 3: first before any group"},
        BadManifest{"item_before_rule", kHead + "rulefile a\n", "line 3: rulefile before any rule"},
        BadManifest{"delta_backwards", kHead + "delta a 3 3\n",
                    "line 3: delta takes a name, a from-version and a higher to-version"},
        BadManifest{"zero_spacing", kHead + "settings KeyDeltaPackageSpace=0\n",
                    "line 3: bad setting \"KeyDeltaPackageSpace=0\""},
        BadManifest{"flag_case", kHead + "settings HaveDeltaPackage=True\n",
                    "line 3: bad setting \"HaveDeltaPackage=True\""}),
    [](const testing::TestParamInfo<BadManifest>& info) { return std::string(info.param.label); });

struct BadTree {
  const char* label;
  std::string text;
  const char* error;
};

class BadTreeTest : public testing::TestWithParam<BadTree> {};

TEST_P(BadTreeTest, IsRefusedBeforeAnythingIsLaidOut) {
  TestSupport::TempFolder folder;
  ASSERT_TRUE(TestSupport::WriteWholeFile(folder.File("a"), "a"));
  Manifest m;
  std::string error;
  ASSERT_TRUE(ParseManifest(kHead + GetParam().text, &m, &error)) << error;
  Publisher::DownloadTreeBuilder builder(m, folder.Path());
  Publisher::DownloadTree tree;
  EXPECT_FALSE(builder.Build(&tree, &error));
  EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadTreeTest,
    testing::Values(BadTree{"missing_source", "file b 1 0\n", "line 3: cannot read"},
                    BadTree{"twice_by_case", "file a 1 0\nfile A 1 0 source=a\n", "\"A\" is defined twice"},
                    BadTree{"unknown_link_target", "link zz a\n", "link target \"zz\""},
                    BadTree{"unknown_member", "file a 1 0\ngroup g 1\nfirst zz\n", "unknown file \"zz\""},
                    BadTree{"unknown_sub_group", "file a 1 0\ngroup g 1\nsub h\n", "unknown sub-group \"h\""},
                    BadTree{"group_twice", "group g 1\ngroup G 2\n", "defined twice"},
                    BadTree{"unknown_single", "single a\n", "single file \"a\""},
                    BadTree{"unknown_rule_group", "rule 1 1\nrulegroup g\n", "rule item \"g\""},
                    BadTree{"delta_not_to_current", "file a 3 0\ndelta a 1 2\n", "line 4: a delta must end"},
                    BadTree{"delta_of_nothing", "delta zz 1 2\n", "neither a resource nor a group"}),
    [](const testing::TestParamInfo<BadTree>& info) { return std::string(info.param.label); });

// A file named like a generated configuration file is published in its
// place, so that tests can serve a broken one on purpose.
TEST(PublisherOverrideTest, AManifestFileReplacesAGeneratedConfiguration) {
  TestSupport::TempFolder folder;
  ASSERT_TRUE(TestSupport::WriteWholeFile(folder.File("broken.xml"), "<ResourceGroups>"));
  Manifest m;
  std::string error;
  ASSERT_TRUE(ParseManifest(kHead + "configversion 5\nfile resourcegroup.pcfg 9 0 source=broken.xml\n",
                            &m, &error));
  Publisher::DownloadTreeBuilder builder(m, folder.Path());
  Publisher::DownloadTree tree;
  ASSERT_TRUE(builder.Build(&tree, &error)) << error;
  const FileSystem::ResourceKey key = FileSystem::HashResourceName("resourcegroup.pcfg");
  EXPECT_EQ(tree.count(FileSystem::FullPackageName(key, 9)), 1u);
  EXPECT_EQ(tree.count(FileSystem::FullPackageName(key, 5)), 0u);
}

}  // namespace
