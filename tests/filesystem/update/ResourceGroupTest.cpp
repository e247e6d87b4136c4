// Resource groups end to end: readiness from the local packages, the next
// item a group asks for (whole package first, then item by item), and groups
// that list themselves or each other as sub-groups.
#include <ostream>
#include <string>

#include "DownloadPackageName.h"
#include "FileSystemFacade.h"
#include "Held.h"
#include "ProductReplyBuilder.h"
#include "update/ResourceGroup.h"
#include "UpdateHarness.h"

using FileSystem::IFileSystem;
using FileSystem::IReadFile;
using FileSystem::ResourceGroup;
using FileSystem::ResourceKey;
using UpdateTests::Eventually;

namespace {

const char* const kGroups =
    "group self 1\n"
    "first c.txt\n"
    "sub self\n"
    "group ping 1\n"
    "first a.txt\n"
    "sub pong\n"
    "group pong 1\n"
    "first b.txt\n"
    "sub ping\n";

struct Item {
  uint32_t hash1 = 0;
  uint32_t hash2 = 0;
  bool isDelta = true;
  uint32_t localVersion = 99;
  ResourceKey Key() const { return ResourceKey{hash1, hash2}; }
};

class ResourceGroupTest : public UpdateTests::UpdateTest {
 protected:
  void SetUp() override {
    UpdateTest::SetUp();
    ASSERT_TRUE(Publish(kGroups));
  }

  // Downloads the resource through OpenFile and waits until it is local.
  static void Fetch(IFileSystem* fileSystem, const char* name) {
    TestFixtures::Held<IReadFile> file(fileSystem->OpenFile(name, 0, true, false));
    ASSERT_NE(file, nullptr) << name;
    EXPECT_TRUE(Eventually([&] { return !file->IsLoading(); })) << name;
    EXPECT_TRUE(file->IsLoaded()) << name;
    file.reset();
    EXPECT_TRUE(fileSystem->IsFileReady(name)) << name;
  }

  static ResourceGroup* Group(IFileSystem* fileSystem, const char* name) {
    return static_cast<FileSystem::FileSystem*>(fileSystem)->Updates().FindResourceGroup(
        FileSystem::HashResourceName(name));
  }

  static bool Next(ResourceGroup* group, Item* item) {
    return group->NextItem(&item->hash1, &item->hash2, &item->isDelta, &item->localVersion);
  }

  static ResourceKey KeyOf(const char* name) { return FileSystem::HashResourceName(name); }
};

TEST(DetachedResourceGroup, WithoutAFileSystemIsNeverReadyAndGivesNoItem) {
  ResourceGroup group("maps", 3, true);
  EXPECT_EQ(group.ConfigFileName(), "maps.pcfg");
  EXPECT_EQ(group.PackageKey(), FileSystem::HashResourceName("maps.pak"));
  EXPECT_EQ(group.ConfigKey(), FileSystem::HashResourceName("maps.pcfg"));
  EXPECT_FALSE(group.IsReady());
  Item item;
  EXPECT_FALSE(group.NextItem(&item.hash1, &item.hash2, &item.isDelta, &item.localVersion));
  EXPECT_FALSE(group.LoadConfig());
}

TEST_F(ResourceGroupTest, GroupNotLocalIsNotReadyAndAsksForItsWholePackage) {
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  EXPECT_FALSE(fileSystem->IsResourceGroupReady("maps"));
  EXPECT_FALSE(fileSystem->IsResourceGroupReady("nomaps"));
  EXPECT_FALSE(fileSystem->IsResourceGroupReady(nullptr));
  ResourceGroup* maps = Group(fileSystem, "maps");
  ASSERT_NE(maps, nullptr);
  Item item;
  ASSERT_TRUE(Next(maps, &item));
  EXPECT_EQ(item.Key(), KeyOf("maps.pak"));
  EXPECT_FALSE(item.isDelta);
  EXPECT_EQ(item.localVersion, 0u);
  EXPECT_FALSE(maps->NextItem(nullptr, &item.hash2, &item.isDelta, &item.localVersion));
}

TEST_F(ResourceGroupTest, PackageInFlightGivesNoItem) {
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  FileSystem::UpdateManager& updates =
      static_cast<FileSystem::FileSystem*>(fileSystem.get())->Updates();
  http_.QueueReply(TestFixtures::HttpReply::Of(TestFixtures::HttpReply::kStall));
  TestFixtures::Held<IReadFile> file(fileSystem->OpenFile("maps.pak", 0, true, false));
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(Eventually([&] { return updates.IsKeyInFlight(KeyOf("maps.pak")); }));
  Item item;
  EXPECT_FALSE(Next(Group(fileSystem, "maps"), &item));
  EXPECT_FALSE(fileSystem->IsResourceGroupReady("maps"));
}

TEST_F(ResourceGroupTest, GroupBecomesReadyOnceItsPackageIsLocalAndStaysReadyAfterARestart) {
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  EXPECT_FALSE(fileSystem->IsResourceGroupReady("maps"));
  Fetch(fileSystem, "maps.pak");
  // The package brought the members along.
  EXPECT_TRUE(fileSystem->IsFileReady("a.txt"));
  EXPECT_TRUE(fileSystem->IsFileReady("b.txt"));
  ResourceGroup* maps = Group(fileSystem, "maps");
  ASSERT_NE(maps, nullptr);
  Item item;
  // The readiness test ran once already; the next-item walk sees the change.
  EXPECT_FALSE(Next(maps, &item));
  EXPECT_TRUE(fileSystem->IsResourceGroupReady("maps"));
  EXPECT_FALSE(Next(maps, &item));
  fileSystem.reset();
  EXPECT_EQ(RequestsFor(PackageOf("maps.pak", 2)), 1u);

  TestFixtures::Held<IFileSystem> again(StartReady());
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(again->IsResourceGroupReady("maps"));
}

TEST_F(ResourceGroupTest, GroupWhoseMembersAreLocalAtTheirListedVersionsIsReadyWithoutItsPackage) {
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  Fetch(fileSystem, "maps.pcfg");
  Fetch(fileSystem, "a.txt");
  Fetch(fileSystem, "b.txt");
  EXPECT_FALSE(fileSystem->IsFileReady("maps.pak"));
  EXPECT_TRUE(fileSystem->IsResourceGroupReady("maps"));
}

TEST_F(ResourceGroupTest, GroupWithAMemberMissingIsNotReady) {
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  Fetch(fileSystem, "maps.pcfg");
  Fetch(fileSystem, "a.txt");
  EXPECT_FALSE(fileSystem->IsResourceGroupReady("maps"));
}

TEST_F(ResourceGroupTest, LocalPackageAtItsListedVersionGoesOnToTheSubGroups) {
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  Fetch(fileSystem, "ping.pak");
  ResourceGroup* ping = Group(fileSystem, "ping");
  ASSERT_NE(ping, nullptr);
  Item item;
  ASSERT_TRUE(Next(ping, &item));
  EXPECT_EQ(item.Key(), KeyOf("pong.pak"));
  EXPECT_FALSE(item.isDelta);
  EXPECT_EQ(item.localVersion, 0u);
}

TEST_F(ResourceGroupTest, GroupThatIsItsOwnSubGroupEndsTheWalkAndIsNotReady) {
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  Fetch(fileSystem, "self.pcfg");
  Fetch(fileSystem, "c.txt");
  // Without its package the readiness test walks the sub-groups: itself.
  EXPECT_FALSE(fileSystem->IsResourceGroupReady("self"));

  Fetch(fileSystem, "self.pak");
  ResourceGroup* self = Group(fileSystem, "self");
  ASSERT_NE(self, nullptr);
  Item item;
  EXPECT_FALSE(Next(self, &item));
  EXPECT_FALSE(Next(self, &item));
  EXPECT_FALSE(self->IsReady());
}

TEST_F(ResourceGroupTest, TwoGroupsListingEachOtherEndTheWalk) {
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  Fetch(fileSystem, "ping.pcfg");
  Fetch(fileSystem, "pong.pcfg");
  Fetch(fileSystem, "a.txt");
  Fetch(fileSystem, "b.txt");
  EXPECT_FALSE(fileSystem->IsResourceGroupReady("ping"));
  EXPECT_FALSE(fileSystem->IsResourceGroupReady("pong"));

  Fetch(fileSystem, "ping.pak");
  Fetch(fileSystem, "pong.pak");
  Item item;
  EXPECT_FALSE(Next(Group(fileSystem, "ping"), &item));
  EXPECT_FALSE(Next(Group(fileSystem, "pong"), &item));
}

TEST_F(ResourceGroupTest, BrokenConfigurationIsLoggedOnceAndTheGroupIsNotReady) {
  ASSERT_TRUE(Publish(std::string(kGroups) + "file broken.pcfg 1 0\ngroup broken 1\nfirst c.txt\n",
                      {{"broken.pcfg", "xx"}}));
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  Fetch(fileSystem, "broken.pcfg");
  Fetch(fileSystem, "c.txt");
  EXPECT_FALSE(fileSystem->IsResourceGroupReady("broken"));
  EXPECT_FALSE(fileSystem->IsResourceGroupReady("broken"));
  size_t logged = 0;
  for (const TestSupport::LogLine& line : log_.Lines())
    if (line.text.find("Load resource group config file \"broken.pcfg\" failed.") !=
        std::string::npos) {
      EXPECT_EQ(line.level, FileSystem::kLogError);
      ++logged;
    }
  EXPECT_EQ(logged, 1u);
}

TEST_F(ResourceGroupTest, LoadingAConfigurationThatIsNotLocalFailsWithoutADownload) {
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  ResourceGroup* maps = Group(fileSystem, "maps");
  ASSERT_NE(maps, nullptr);
  EXPECT_FALSE(maps->LoadConfig());
  EXPECT_EQ(RequestsFor(PackageOf("maps.pcfg", 2)), 0u);
  Fetch(fileSystem, "maps.pcfg");
  EXPECT_TRUE(maps->LoadConfig());
}

// A group whose package is local at an older version than the one listed
// now: how its next item is chosen depends on its WholeUpdate flag and on the
// HaveDeltaPackage setting.
struct OutdatedPackage {
  const char* label;
  const char* settings;   // manifest lines before the group
  const char* flags;      // after the group's version
  const char* firstItem;  // the resource whose key comes first
  bool isDelta;
  uint32_t localVersion;
  const char* afterConfig;  // the next item once "solo.pcfg" is local; null: none asked
  const char* member = "d.txt";  // as the group's configuration lists it
};

void PrintTo(const OutdatedPackage& c, std::ostream* out) { *out << c.label; }

class OutdatedGroupPackage : public ResourceGroupTest,
                             public testing::WithParamInterface<OutdatedPackage> {
 protected:
  bool PublishSolo(uint16_t serverVersion, uint16_t version) {
    const OutdatedPackage& c = GetParam();
    const std::string v = std::to_string(version);
    const std::string delta = version > 1 ? "delta solo 1 " + v + "\n" : "";
    return Publish(std::string(kGroups) + "serverversion " + std::to_string(serverVersion) +
                       "\n" + c.settings + "file d.txt " + v + " 0\ngroup solo " + v + " " +
                       c.flags + "\nfirst " + c.member + "\n" + delta,
                   {{"d.txt", "delta " + v}});
  }

  // Fetches "solo" at version 1, publishes version 2 and starts a file
  // system that is told of it.
  IFileSystem* StartWithOutdatedSolo() {
    if (!newer_.Ok() || !PublishSolo(3, 1)) return nullptr;
    TestFixtures::Held<IFileSystem> first(StartReady());
    if (first == nullptr) return nullptr;
    Fetch(first, "solo.pak");
    first.reset();
    if (!PublishSolo(4, 2)) return nullptr;
    // A second update server, so the restart is told of the new version.
    TestFixtures::ReplyPlan reply = TestFixtures::GoodReply(UpdateTests::kProduct, 4);
    reply.entries.clear();
    reply.entries.push_back({http_.Origin() + "/", false});
    newer_.AddScript(TestFixtures::Answer(TestFixtures::BuildReply(reply)));
    IFileSystem* fileSystem = Start(newer_.Port());
    if (fileSystem != nullptr && !WaitForState(fileSystem, FileSystem::kStateReadyForUpdate))
      ADD_FAILURE() << "state " << fileSystem->GetUpdateState();
    return fileSystem;
  }

  TestFixtures::FakeUpdateServer newer_;
};

TEST_P(OutdatedGroupPackage, GivesTheItemItsFlagsAskFor) {
  const OutdatedPackage& c = GetParam();
  TestFixtures::Held<IFileSystem> fileSystem(StartWithOutdatedSolo());
  ASSERT_NE(fileSystem, nullptr);
  EXPECT_FALSE(fileSystem->IsFileReady("d.txt"));
  EXPECT_FALSE(fileSystem->IsResourceGroupReady("solo"));
  ResourceGroup* solo = Group(fileSystem, "solo");
  ASSERT_NE(solo, nullptr);
  Item item;
  ASSERT_TRUE(Next(solo, &item));
  EXPECT_EQ(item.Key(), KeyOf(c.firstItem));
  EXPECT_EQ(item.isDelta, c.isDelta);
  EXPECT_EQ(item.localVersion, c.localVersion);
  if (c.afterConfig != nullptr) {
    Fetch(fileSystem, "solo.pcfg");
    Item next;
    ASSERT_TRUE(Next(solo, &next));
    EXPECT_EQ(next.Key(), KeyOf(c.afterConfig));
    EXPECT_FALSE(next.isDelta);
    Fetch(fileSystem, c.afterConfig);
    EXPECT_FALSE(Next(solo, &next));
    EXPECT_TRUE(fileSystem->IsResourceGroupReady("solo"));
  }
}

TEST_P(OutdatedGroupPackage, RequestBringsTheGroupUpToDateThroughThatItem) {
  const OutdatedPackage& c = GetParam();
  UseDefaultGroup();
  TestFixtures::Held<IFileSystem> fileSystem(StartWithOutdatedSolo());
  ASSERT_NE(fileSystem, nullptr);
  ASSERT_TRUE(fileSystem->UpdateResourceGroup("solo", "default"));
  EXPECT_EQ(TakeOff(fileSystem, UpdateTests::List::kUpdatedGroups, "solo"), "solo");
  EXPECT_TRUE(fileSystem->IsResourceGroupReady("solo"));
  EXPECT_EQ(LocalContentOf(fileSystem, "d.txt"), "delta 2");
  const FileSystem::ResourceKey solo = KeyOf("solo.pak");
  const std::string whole = FileSystem::FullPackageName(solo, 2);
  const std::string delta = FileSystem::DeltaPackageName(solo, 1, 2);
  const bool itemByItem = c.afterConfig != nullptr;
  EXPECT_EQ(RequestsFor(whole), !itemByItem && !c.isDelta ? 1u : 0u);
  EXPECT_EQ(RequestsFor(delta), c.isDelta ? 1u : 0u);
  EXPECT_EQ(RequestsFor(PackageOf("d.txt", 2)), itemByItem ? 1u : 0u);
  EXPECT_EQ(TakeOffNow(fileSystem, UpdateTests::List::kFailedGroups), "");
  EXPECT_EQ(fileSystem->GetUpdateTaskCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, OutdatedGroupPackage,
    testing::Values(OutdatedPackage{"whole", "", "whole", "solo.pak", false, 0, nullptr},
                    OutdatedPackage{"delta", "", "", "solo.pak", true, 1, nullptr},
                    OutdatedPackage{"item_by_item", "settings HaveDeltaPackage=false\n", "",
                                    "solo.pcfg", false, 0, "d.txt"},
                    // A link member is asked for as its target.
                    OutdatedPackage{"item_by_item_through_link",
                                    "settings HaveDeltaPackage=false\nlink d.txt dlink.txt\n", "",
                                    "solo.pcfg", false, 0, "d.txt", "dlink.txt"}),
    [](const testing::TestParamInfo<OutdatedPackage>& info) { return info.param.label; });

}  // namespace
