// The local link map from "version.pcfg" and "filelink.pcfg".
#include <gtest/gtest.h>

#include <string>

#include "Held.h"
#include "PackageImageWriter.h"
#include "store/PackageManager.h"
#include "StoreTestSupport.h"

using FileSystem::HashResourceName;
using FileSystem::ResourceKey;
using StoreTest::OpenStore;
using TestFixtures::FileLinkConfig;
using TestFixtures::PackageImageWriter;
using TestFixtures::VersionConfig;
using TestSupport::TempFolder;

namespace {

bool Target(FileSystem::FileSystem* fs, const char* member, const char* target) {
  ResourceKey key = HashResourceName(member);
  return fs->Packages().ResolveLink(&key) && key == HashResourceName(target);
}

TEST(LinkConfig, FileLinkWinsOverVersionConfigAndASingleNameGroupAddsNothing) {
  TempFolder folder;
  PackageImageWriter image;
  image.AddStored("version.pcfg", 1,
                  VersionConfig({{"a", 1}, {"b", 2}}, {{"t1", "m1", "m2"}, {"alone"}}));
  image.AddStored("filelink.pcfg", 1, FileLinkConfig({{"t2", "m2"}}));
  ASSERT_TRUE(image.WriteTo(folder.File("data_1.pak")));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  EXPECT_TRUE(Target(fs, "m1", "t1"));
  EXPECT_TRUE(Target(fs, "M1", "t1"));
  EXPECT_TRUE(Target(fs, "m2", "t2"));
  ResourceKey key = HashResourceName("alone");
  EXPECT_FALSE(fs->Packages().ResolveLink(&key));
  EXPECT_EQ(key, HashResourceName("alone"));
  key = HashResourceName("t1");
  EXPECT_FALSE(fs->Packages().ResolveLink(&key));
}

TEST(LinkConfig, AVersionConfigCutInAGroupKeepsTheMembersReadBefore) {
  TempFolder folder;
  std::string config = VersionConfig({{"a", 1}}, {{"t1", "m1"}, {"t2", "m2", "m3"}});
  config.resize(config.size() - 4);  // m3 loses half its key
  PackageImageWriter image;
  image.AddStored("version.pcfg", 1, config);
  ASSERT_TRUE(image.WriteTo(folder.File("data_1.pak")));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  EXPECT_TRUE(Target(fs, "m1", "t1"));
  EXPECT_TRUE(Target(fs, "m2", "t2"));
  ResourceKey key = HashResourceName("m3");
  EXPECT_FALSE(fs->Packages().ResolveLink(&key));
  EXPECT_FALSE(fs->Packages().LoadVersionConfig());
}

TEST(LinkConfig, AVersionListLongerThanTheFileLoadsNoLinks) {
  TempFolder folder;
  std::string config = VersionConfig({}, {{"t1", "m1"}});
  config[3] = 0x10;  // a count of 0x10000000 versions
  PackageImageWriter image;
  image.AddStored("version.pcfg", 1, config);
  ASSERT_TRUE(image.WriteTo(folder.File("data_1.pak")));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  ResourceKey key = HashResourceName("m1");
  EXPECT_FALSE(fs->Packages().ResolveLink(&key));
}

TEST(LinkConfig, UpdateModeLoadsNoLocalLinks) {
  TempFolder folder;
  PackageImageWriter image;
  image.AddStored("filelink.pcfg", 1, FileLinkConfig({{"t", "m"}}));
  image.PadTo(100000);
  ASSERT_TRUE(image.WriteTo(folder.File("data_1.pak")));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), true));
  ASSERT_NE(fs, nullptr);
  ResourceKey key = HashResourceName("m");
  EXPECT_FALSE(fs->Packages().ResolveLink(&key));
}

}  // namespace
