// The product query over every configured server: which answer wins, what
// a bad server does to the others, and the log line of a failed query.
#include "net/UpdateServerList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeUpdateServer.h"
#include "ProductReplyBuilder.h"
#include "UpdateServerTestSupport.h"

using FileSystem::ProductInfo;
using FileSystem::UpdateServer;
using FileSystem::UpdateServerList;
using TestFixtures::ConnectionScript;
using TestFixtures::FakeUpdateServer;
using TestFixtures::ReplyPlan;
using namespace UpdateServerTests;

namespace {

ConnectionScript GoodAnswer(uint32_t version) {
  return TestFixtures::Answer(TestFixtures::BuildReply(TestFixtures::GoodReply(kProduct, version)));
}

ConnectionScript Reply(void (*change)(ReplyPlan*)) {
  ReplyPlan plan = TestFixtures::GoodReply(kProduct, 13);
  change(&plan);
  return TestFixtures::Answer(TestFixtures::BuildReply(plan));
}

// The configured list, in configured order, over local ports.
class Configuration {
 public:
  explicit Configuration(const std::vector<uint32_t>& ports) : nodes_(ports.size()) {
    for (size_t i = 0; i < ports.size(); ++i) {
      nodes_[i].host = "127.0.0.1";
      nodes_[i].port = ports[i];
      nodes_[i].next = i + 1 < ports.size() ? &nodes_[i + 1] : nullptr;
    }
  }
  const UpdateServerNode* First() const { return nodes_.empty() ? nullptr : &nodes_[0]; }

 private:
  std::vector<UpdateServerNode> nodes_;
};

bool Never(void*) { return false; }
bool Always(void*) { return true; }

TEST(UpdateServerList, RunsOppositeToTheConfiguredOrder) {
  Logging logging;
  FakeUpdateServer first;
  FakeUpdateServer second;
  ASSERT_TRUE(first.Ok() && second.Ok());
  first.AddScript(GoodAnswer(1));
  second.AddScript(GoodAnswer(2));
  Configuration configuration({first.Port(), second.Port()});
  UpdateServerList list(logging.fileSystem.Logger());
  ASSERT_TRUE(list.Create(configuration.First(), kProduct));
  ASSERT_NE(list.First(), nullptr);
  ASSERT_NE(list.First()->Next(), nullptr);
  EXPECT_EQ(list.First()->Next()->Next(), nullptr);
  // Asking the head of the list reaches the server configured last.
  ASSERT_TRUE(list.First()->Start());
  ASSERT_TRUE(WaitDone(*list.First()));
  EXPECT_EQ(list.First()->Version(), 2u);
  EXPECT_EQ(first.Connections(), 0);
}

// Both have answered before the pass looks at them: the list's head, the
// server configured later, wins.
TEST(UpdateServerList, OfTwoFinishedServersTheOneConfiguredLaterWins) {
  Logging logging;
  FakeUpdateServer earlier;
  FakeUpdateServer later;
  ASSERT_TRUE(earlier.Ok() && later.Ok());
  earlier.AddScript(GoodAnswer(1));
  later.AddScript(GoodAnswer(2));
  Configuration configuration({earlier.Port(), later.Port()});
  UpdateServerList list(logging.fileSystem.Logger());
  ASSERT_TRUE(list.Create(configuration.First(), kProduct));
  list.SetTimeouts(kConnectMs, kSocketMs, kReceiveMs);
  for (UpdateServer* server = list.First(); server != nullptr; server = server->Next()) {
    ASSERT_TRUE(server->Start());
    ASSERT_TRUE(WaitDone(*server));
  }
  UpdateServer* winner = nullptr;
  ASSERT_EQ(list.PollOnce(&Never, nullptr, &winner), UpdateServerList::Pass::kWinner);
  ASSERT_EQ(winner, list.First());
  EXPECT_EQ(winner->Version(), 2u);
}

TEST(UpdateServerList, PassWithAServerStillAskingIsIncomplete) {
  Logging logging;
  FakeUpdateServer silent;
  FakeUpdateServer closing;
  ASSERT_TRUE(silent.Ok() && closing.Ok());
  silent.AddScript(TestFixtures::NeverAnswer());
  closing.AddScript(TestFixtures::CloseAtOnce());
  Configuration configuration({silent.Port(), closing.Port()});
  UpdateServerList list(logging.fileSystem.Logger());
  ASSERT_TRUE(list.Create(configuration.First(), kProduct));
  list.SetTimeouts(kConnectMs, kSocketMs, 60000);
  UpdateServer* closer = list.First();
  UpdateServer* waiter = closer->Next();
  ASSERT_TRUE(closer->Start());
  ASSERT_TRUE(WaitDone(*closer));
  ASSERT_TRUE(waiter->Start());
  UpdateServer* winner = nullptr;
  EXPECT_EQ(list.PollOnce(&Never, nullptr, &winner), UpdateServerList::Pass::kIncomplete);
  EXPECT_EQ(list.PollOnce(&Always, nullptr, &winner), UpdateServerList::Pass::kStopping);
  EXPECT_EQ(winner, nullptr);
}

TEST(UpdateServerList, WinnerAnswerIsHandedOverAndEveryServerIsStopped) {
  Logging logging;
  FakeUpdateServer good;
  FakeUpdateServer silent;
  ASSERT_TRUE(good.Ok() && silent.Ok());
  ReplyPlan plan = TestFixtures::GoodReply(kProduct, 321);
  plan.entries.push_back({"http://third/", true});
  good.AddScript(TestFixtures::Answer(TestFixtures::BuildReply(plan)));
  silent.AddScript(TestFixtures::NeverAnswer());
  Configuration configuration({good.Port(), silent.Port()});
  UpdateServerList list(logging.fileSystem.Logger());
  ASSERT_TRUE(list.Create(configuration.First(), kProduct));
  list.SetTimeouts(kConnectMs, kSocketMs, 60000);
  ProductInfo info;
  ASSERT_TRUE(list.QueryProductInfo(&Never, nullptr, &info));
  EXPECT_EQ(info.version, 321u);
  ASSERT_EQ(info.urls.size(), 3u);
  EXPECT_EQ(info.urls[0].url, "http://127.0.0.1/main/");
  EXPECT_FALSE(info.urls[0].isMirror);
  EXPECT_TRUE(info.urls[1].isMirror);
  EXPECT_EQ(info.urls[2].url, "http://third/");
  // The silent server was stopped and joined: it ended without an outcome
  // well before its minute of receiving was up.
  UpdateServer* stopped = list.First();
  EXPECT_FALSE(stopped->Done());
  EXPECT_FALSE(stopped->Failed());
  EXPECT_FALSE(logging.log.Contains("Query product information failed \"velmor\"."));
}

struct BadServer {
  const char* label;
  ConnectionScript script;
};

void PrintTo(const BadServer& server, std::ostream* out) { *out << server.label; }

std::vector<BadServer> BadServers() {
  return {
      {"wrong_type", Reply([](ReplyPlan* s) { s->type = 2; })},
      {"status_0", Reply([](ReplyPlan* s) { s->status = 0; })},
      {"url_count_0", Reply([](ReplyPlan* s) { s->urlCountField = 0; })},
      {"wrong_echoed_name", Reply([](ReplyPlan* s) { s->name = "other"; })},
      {"name_length_beyond_block", Reply([](ReplyPlan* s) { s->nameLengthField = 200; })},
      {"url_length_beyond_block", Reply([](ReplyPlan* s) { s->entries[0].lengthField = 200; })},
      {"version_65536", Reply([](ReplyPlan* s) { s->version = 65536; })},
      {"segments_of_a_wrong_answer",
       TestFixtures::Answer(TestFixtures::BuildReply(TestFixtures::GoodReply("velmoq", 13)), 2)},
      {"never_answer", TestFixtures::NeverAnswer()},
      {"close_at_once", TestFixtures::CloseAtOnce()},
  };
}

class UpdateServerListBadServer : public testing::TestWithParam<BadServer> {};

// The bad server sits at the head of the list, where it would be looked at
// first; it fails alone and the good one, configured before it, still wins.
TEST_P(UpdateServerListBadServer, FailsOnlyItselfAndTheGoodServerWins) {
  Logging logging;
  FakeUpdateServer good;
  FakeUpdateServer bad;
  ASSERT_TRUE(good.Ok() && bad.Ok());
  good.AddScript(GoodAnswer(77));
  bad.AddScript(GetParam().script);
  Configuration configuration({good.Port(), bad.Port()});
  UpdateServerList list(logging.fileSystem.Logger());
  ASSERT_TRUE(list.Create(configuration.First(), kProduct));
  list.SetTimeouts(kConnectMs, kSocketMs, kReceiveMs);
  ProductInfo info;
  ASSERT_TRUE(list.QueryProductInfo(&Never, nullptr, &info));
  EXPECT_EQ(info.version, 77u);
  EXPECT_EQ(info.urls.size(), 2u);
  EXPECT_FALSE(list.First()->Succeeded());
  EXPECT_TRUE(list.First()->Next()->Succeeded());
}

INSTANTIATE_TEST_SUITE_P(Table, UpdateServerListBadServer, testing::ValuesIn(BadServers()),
                         [](const testing::TestParamInfo<BadServer>& info) {
                           return std::string(info.param.label);
                         });

TEST(UpdateServerList, AllServersFailingFailsTheQueryWithItsLogLine) {
  Logging logging;
  FakeUpdateServer closing;
  ASSERT_TRUE(closing.Ok());
  closing.AddScript(TestFixtures::CloseAtOnce());
  const uint32_t closedPort = TestFixtures::ClosedPort();
  Configuration configuration({closing.Port(), closedPort});
  UpdateServerList list(logging.fileSystem.Logger());
  ASSERT_TRUE(list.Create(configuration.First(), kProduct));
  list.SetTimeouts(kConnectMs, kSocketMs, kReceiveMs);
  ProductInfo info;
  EXPECT_FALSE(list.QueryProductInfo(&Never, nullptr, &info));
  EXPECT_TRUE(info.urls.empty());
  const std::vector<TestSupport::LogLine> lines = logging.log.Lines();
  ASSERT_EQ(lines.size(), 4u);
  // The two servers log in whatever order their threads run; the query's
  // own line comes last.
  EXPECT_TRUE(logging.log.Contains(ConnectLine("127.0.0.1", closing.Port())));
  EXPECT_TRUE(logging.log.Contains(ConnectLine("127.0.0.1", closedPort)));
  EXPECT_TRUE(logging.log.Contains(ConnectFailedLine("127.0.0.1", closedPort)));
  EXPECT_FALSE(logging.log.Contains(ConnectFailedLine("127.0.0.1", closing.Port())));
  EXPECT_EQ(lines[3].level, 2);
  EXPECT_EQ(lines[3].text, "Query product information failed \"velmor\".");
}

TEST(UpdateServerList, WithoutServersTheQueryFailsAtOnce) {
  Logging logging;
  UpdateServerList list(logging.fileSystem.Logger());
  ASSERT_TRUE(list.Create(nullptr, kProduct));
  ProductInfo info;
  EXPECT_FALSE(list.QueryProductInfo(&Never, nullptr, &info));
  const std::vector<TestSupport::LogLine> lines = logging.log.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, 2);
  EXPECT_EQ(lines[0].text, "Query product information failed \"velmor\".");
}

TEST(UpdateServerList, StoppingBeforeTheQueryStartsNoServer) {
  Logging logging;
  FakeUpdateServer good;
  ASSERT_TRUE(good.Ok());
  good.AddScript(GoodAnswer(5));
  Configuration configuration({good.Port()});
  UpdateServerList list(logging.fileSystem.Logger());
  ASSERT_TRUE(list.Create(configuration.First(), kProduct));
  ProductInfo info;
  EXPECT_FALSE(list.QueryProductInfo(&Always, nullptr, &info));
  EXPECT_TRUE(logging.log.Lines().empty());
  EXPECT_EQ(good.Connections(), 0);
}

// Each retry of the update manager asks the same servers again.
TEST(UpdateServerList, QueryCanRunAgainOnTheSameServers) {
  Logging logging;
  FakeUpdateServer server;
  ASSERT_TRUE(server.Ok());
  server.AddScript(TestFixtures::CloseAtOnce());
  server.AddScript(GoodAnswer(6));
  Configuration configuration({server.Port()});
  UpdateServerList list(logging.fileSystem.Logger());
  ASSERT_TRUE(list.Create(configuration.First(), kProduct));
  list.SetTimeouts(kConnectMs, kSocketMs, kReceiveMs);
  ProductInfo info;
  EXPECT_FALSE(list.QueryProductInfo(&Never, nullptr, &info));
  ASSERT_TRUE(list.QueryProductInfo(&Never, nullptr, &info));
  EXPECT_EQ(info.version, 6u);
  EXPECT_EQ(server.Connections(), 2);
}

}  // namespace
