// Idle updating: the rule a host selects by (level, map) is fetched on
// otherwise idle workers until all its items are local, and a missing or
// broken rule list never makes the idle update finish.
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "Held.h"
#include "UpdateHarness.h"
#include "UpdateRuleFile.h"

using FileSystem::IFileSystem;
using UpdateTests::Eventually;

namespace {

// Rule (2, 7) names a file and a group; rule (3, 3) is listed twice and the
// later record, naming f.txt, is the one kept.
const char* const kRules =
    "file f.txt 1 1\n"
    "rule 2 7\n"
    "rulefile c.txt\n"
    "rulegroup maps\n"
    "rule 3 3\n"
    "rulefile c.txt\n"
    "rule 3 3\n"
    "rulefile f.txt\n";

class IdleRuleTest : public UpdateTests::UpdateTest {
 protected:
  void SetUp() override {
    UpdateTest::SetUp();
    idleUpdate_ = 1;
    ASSERT_TRUE(Publish(kRules, {{"f.txt", "foxtrot, idle"}}));
  }

  // Waits until the rule list is local and loaded: with the default pair
  // (0, 0), which no rule has, the idle update is then finished.
  IFileSystem* StartLoaded() {
    IFileSystem* fileSystem = StartReady();
    if (fileSystem != nullptr &&
        !Eventually([&] { return fileSystem->IsIdleUpdateFinishied(); }))
      ADD_FAILURE() << "the idle update with no rule never finished";
    return fileSystem;
  }

  // Waits for something that must not happen: scheduler passes that would
  // have started it.
  void Idle(IFileSystem* fileSystem) { WaitForSchedulerPasses(fileSystem); }
};

struct Selection {
  const char* label;
  int level;
  int map;
  const char* fetched;     // a file the selected rule brings; null: none
  const char* notFetched;  // a file it must not bring
};

void PrintTo(const Selection& selection, std::ostream* out) { *out << selection.label; }

class IdleRuleSelection : public IdleRuleTest, public testing::WithParamInterface<Selection> {};

TEST_P(IdleRuleSelection, FetchesTheSelectedRuleUntilItIsFinished) {
  const Selection& selection = GetParam();
  TestFixtures::Held<IFileSystem> fileSystem(StartLoaded());
  ASSERT_NE(fileSystem, nullptr);
  EXPECT_TRUE(fileSystem->SetIdleUpdateInfo(selection.level, selection.map));
  ASSERT_TRUE(Eventually([&] { return fileSystem->IsIdleUpdateFinishied(); }));
  if (selection.fetched != nullptr) {
    EXPECT_TRUE(fileSystem->IsFileReady(selection.fetched));
  }
  EXPECT_FALSE(fileSystem->IsFileReady(selection.notFetched));
  // Idle work is no request: the lists stay empty.
  EXPECT_EQ(TakeOffNow(fileSystem, UpdateTests::List::kUpdatedFiles), "");
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, IdleRuleSelection,
    testing::Values(Selection{"level_then_map", 2, 7, "c.txt", "f.txt"},
                    Selection{"swapped_pair_selects_nothing", 7, 2, nullptr, "c.txt"},
                    Selection{"later_record_of_a_pair_wins", 3, 3, "f.txt", "c.txt"}),
    [](const testing::TestParamInfo<Selection>& info) { return info.param.label; });

TEST_F(IdleRuleTest, RuleBringsItsGroupsAndIgnoresUnknownOnes) {
  // The rule file of (2, 7) written by hand, with a group the product lacks.
  FileSystem::UpdateRuleFile rule;
  rule.entries.push_back({"", FileSystem::HashResourceName("c.txt"), false});
  rule.entries.push_back({"nosuchgroup", {0, 0}, true});
  rule.entries.push_back({"maps", {0, 0}, true});
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(rule.Write(&bytes));
  ASSERT_TRUE(Publish(std::string(kRules) + "file updaterule_0.pcfg 1 0\n",
                      {{"f.txt", "foxtrot, idle"},
                       {"updaterule_0.pcfg", std::string(bytes.begin(), bytes.end())}}));
  TestFixtures::Held<IFileSystem> fileSystem(StartLoaded());
  ASSERT_NE(fileSystem, nullptr);
  fileSystem->SetIdleUpdateInfo(2, 7);
  ASSERT_TRUE(Eventually([&] { return fileSystem->IsIdleUpdateFinishied(); }));
  EXPECT_TRUE(fileSystem->IsResourceGroupReady("maps"));
  EXPECT_EQ(LocalContentOf(fileSystem, "c.txt"),
            "charlie charlie charlie charlie charlie charlie");
  EXPECT_EQ(LocalContentOf(fileSystem, "a.txt"), "alpha content, stored");
}

TEST_F(IdleRuleTest, SamePairKeepsTheFinishedFlagAndANewPairClearsIt) {
  TestFixtures::Held<IFileSystem> fileSystem(StartLoaded());
  ASSERT_NE(fileSystem, nullptr);
  EXPECT_TRUE(fileSystem->SetIdleUpdateInfo(0, 0));
  EXPECT_TRUE(fileSystem->IsIdleUpdateFinishied());
  // The rule's items are held back, so the new pair stays unfinished.
  http_.SetDefaultReply(TestFixtures::HttpReply::Of(TestFixtures::HttpReply::kStall));
  fileSystem->SetIdleUpdateInfo(2, 7);
  EXPECT_FALSE(fileSystem->IsIdleUpdateFinishied());
  Idle(fileSystem);
  EXPECT_FALSE(fileSystem->IsIdleUpdateFinishied());
  http_.SetDefaultReply(TestFixtures::HttpReply::Serve());
  EXPECT_TRUE(Eventually([&] { return fileSystem->IsIdleUpdateFinishied(); }));
}

TEST_F(IdleRuleTest, RuleWhoseItemsAreAllLocalFinishesWithoutFetchingThem) {
  UseDefaultGroup();
  TestFixtures::Held<IFileSystem> fileSystem(StartLoaded());
  ASSERT_NE(fileSystem, nullptr);
  // Rule (3, 3) names only f.txt: fetched first by a request of its own.
  ASSERT_TRUE(fileSystem->UpdateFile("f.txt", "default"));
  ASSERT_TRUE(Eventually([&] { return fileSystem->IsFileReady("f.txt"); }));
  fileSystem->SetIdleUpdateInfo(3, 3);
  ASSERT_TRUE(Eventually([&] { return fileSystem->IsIdleUpdateFinishied(); }));
  EXPECT_EQ(RequestsFor(PackageOf("f.txt", 1)), 1u);
}

TEST_F(IdleRuleTest, DisabledIdleUpdateFetchesNothingUntilEnabled) {
  idleUpdate_ = 0;
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  EXPECT_FALSE(fileSystem->IsIdleUpdateEnabled());
  fileSystem->SetIdleUpdateInfo(2, 7);
  Idle(fileSystem);
  EXPECT_EQ(BusyWorkers(fileSystem), 0u);
  EXPECT_EQ(RequestsFor(PackageOf("updaterules.pcfg", 1)), 0u);
  EXPECT_FALSE(fileSystem->IsIdleUpdateFinishied());
  EXPECT_TRUE(fileSystem->EnableIdleUpdate(true));
  EXPECT_TRUE(fileSystem->IsIdleUpdateEnabled());
  ASSERT_TRUE(Eventually([&] { return fileSystem->IsIdleUpdateFinishied(); }));
  EXPECT_TRUE(fileSystem->IsFileReady("c.txt"));
}

TEST_F(IdleRuleTest, ReservedFirstWorkerAndSecondWorkerTakeNoRuleWork) {
  // The first worker serves only files waiting in OpenFile and the second
  // takes no idle-rule work while nothing is requested.
  reserveFirstWorker_ = 1;
  workerCount_ = 2;
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  fileSystem->SetIdleUpdateInfo(2, 7);
  Idle(fileSystem);
  EXPECT_EQ(BusyWorkers(fileSystem), 0u);
  EXPECT_EQ(RequestsFor(PackageOf("updaterules.pcfg", 1)), 0u);
  EXPECT_FALSE(fileSystem->IsIdleUpdateFinishied());
  // With everything requested, the second worker goes on to the rule once
  // the requested work is done.
  fileSystem->UpdateAll();
  ASSERT_TRUE(Eventually([&] { return fileSystem->IsAllReady(); }));
  EXPECT_TRUE(Eventually([&] { return fileSystem->IsIdleUpdateFinishied(); }));
}

struct BrokenRules {
  const char* label;
  const char* file;     // the configuration file published in place
  std::string content;
  const char* logged;   // a line that must be logged once; null: none
};

std::string Bytes(std::initializer_list<int> bytes) {
  std::string text;
  for (int byte : bytes) text.push_back(static_cast<char>(byte));
  return text;
}

void PrintTo(const BrokenRules& broken, std::ostream* out) { *out << broken.label; }

class BrokenRuleFiles : public IdleRuleTest, public testing::WithParamInterface<BrokenRules> {};

TEST_P(BrokenRuleFiles, NeverFinishTheIdleUpdate) {
  const BrokenRules& broken = GetParam();
  ASSERT_TRUE(Publish(std::string(kRules) + "file " + broken.file + " 1 0\n",
                      {{"f.txt", "foxtrot, idle"}, {broken.file, broken.content}}));
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  fileSystem->SetIdleUpdateInfo(2, 7);
  ASSERT_TRUE(Eventually([&] { return fileSystem->IsFileReady(broken.file); }));
  Idle(fileSystem);
  EXPECT_EQ(BusyWorkers(fileSystem), 0u);
  EXPECT_FALSE(fileSystem->IsIdleUpdateFinishied());
  EXPECT_FALSE(fileSystem->IsFileReady("c.txt"));
  if (broken.logged != nullptr) {
    size_t count = 0;
    for (const TestSupport::LogLine& line : log_.Lines())
      if (line.text.find(broken.logged) != std::string::npos) ++count;
    EXPECT_EQ(count, 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, BrokenRuleFiles,
    testing::Values(
        // N = 1 needs exactly 12 bytes.
        BrokenRules{"rule_list_too_short", "updaterules.pcfg",
                    Bytes({1, 0, 0, 0, 7, 0, 0, 0, 2, 0, 0}),
                    "Load update list file \"updaterules.pcfg\" failed."},
        // Two entries announced, the first cut inside its hash pair.
        BrokenRules{"rule_file_cut_short", "updaterule_0.pcfg", Bytes({2, 0, 0, 0, 0, 1, 2}),
                    "Load update rule config file \"updaterule_0.pcfg\" failed."}),
    [](const testing::TestParamInfo<BrokenRules>& info) { return info.param.label; });

TEST_F(IdleRuleTest, MissingRuleListIsFetchedAgainOnceAvailable) {
  const std::string list = PackageOf("updaterules.pcfg", 1);
  const std::string image = tree_[list];
  tree_.erase(list);
  http_.SetFiles(tree_);
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  fileSystem->SetIdleUpdateInfo(2, 7);
  // One download makes at most this many attempts; more means the list was
  // asked for again instead of being waited for forever.
  const size_t oneDownload = FileSystem::HttpDownloader::kRetryCount *
                             FileSystem::HttpDownloader::kInitialRestartBudget;
  ASSERT_TRUE(Eventually([&] { return http_.RequestCount() > oneDownload + 4; }));
  EXPECT_FALSE(fileSystem->IsIdleUpdateFinishied());
  tree_[list] = image;
  http_.SetFiles(tree_);
  ASSERT_TRUE(Eventually([&] { return fileSystem->IsIdleUpdateFinishied(); }));
  EXPECT_TRUE(fileSystem->IsFileReady("c.txt"));
}

}  // namespace
