// One update server asked for the product: the request on the wire, the
// answers it accepts and the ones that fail it, time-outs and log lines.
#include "net/UpdateServer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeUpdateServer.h"
#include "ProductReplyBuilder.h"
#include "UpdateServerTestSupport.h"
#include "net/WinsockInit.h"

using FileSystem::UpdateServer;
using TestFixtures::ConnectionScript;
using TestFixtures::FakeUpdateServer;
using TestFixtures::ReplyPlan;
using namespace UpdateServerTests;

namespace {

class UpdateServerQuery : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fake.Ok());
    server.SetProductName(kProduct);
    server.SetHost("127.0.0.1", fake.Port());
    server.SetTimeouts(kConnectMs, kSocketMs, kReceiveMs);
  }

  void RunQuery() {
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(WaitDone(server));
    server.Join();
  }

  void ExpectFailed() {
    EXPECT_TRUE(server.Done());
    EXPECT_TRUE(server.Failed());
    EXPECT_FALSE(server.Succeeded());
    EXPECT_EQ(server.Version(), 0u);
    EXPECT_TRUE(server.Results().empty());
  }

  Logging logging;
  FakeUpdateServer fake;
  UpdateServer server{logging.fileSystem.Logger()};
};

TEST_F(UpdateServerQuery, SendsTheRequestByteForByte) {
  fake.AddScript(TestFixtures::Answer(TestFixtures::BuildReply(TestFixtures::GoodReply(kProduct))));
  RunQuery();
  ASSERT_EQ(fake.Requests().size(), 1u);
  EXPECT_EQ(fake.Requests()[0], std::string("\x0D\x00\x03\x00\x06\x00velmor\x00", 13));
}

TEST_F(UpdateServerQuery, GoodAnswerGivesVersionAndUrlsInReplyOrder) {
  fake.AddScript(
      TestFixtures::Answer(TestFixtures::BuildReply(TestFixtures::GoodReply(kProduct, 4242))));
  RunQuery();
  EXPECT_TRUE(server.Succeeded());
  EXPECT_FALSE(server.Failed());
  EXPECT_EQ(server.Version(), 4242u);
  const std::vector<FileSystem::BaseUrl> urls = server.Results();
  ASSERT_EQ(urls.size(), 2u);
  EXPECT_EQ(urls[0].url, "http://127.0.0.1/main/");
  EXPECT_FALSE(urls[0].isMirror);
  EXPECT_EQ(urls[1].url, "http://127.0.0.1/mirror/");
  EXPECT_TRUE(urls[1].isMirror);
}

TEST_F(UpdateServerQuery, LogsOnlyTheConnectLineOnSuccess) {
  fake.AddScript(TestFixtures::Answer(TestFixtures::BuildReply(TestFixtures::GoodReply(kProduct))));
  RunQuery();
  const std::vector<TestSupport::LogLine> lines = logging.log.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, 0);
  EXPECT_EQ(lines[0].text, ConnectLine("127.0.0.1", fake.Port()));
}

TEST_F(UpdateServerQuery, AnswerInOneByteSegmentsIsAccepted) {
  fake.AddScript(
      TestFixtures::Answer(TestFixtures::BuildReply(TestFixtures::GoodReply(kProduct, 9)), 1));
  RunQuery();
  EXPECT_TRUE(server.Succeeded());
  EXPECT_EQ(server.Version(), 9u);
  EXPECT_EQ(server.Results().size(), 2u);
}

TEST_F(UpdateServerQuery, AnswerInSmallSegmentsAcrossHeaderAndBodyIsAccepted) {
  ReplyPlan plan = TestFixtures::GoodReply(kProduct, 11);
  plan.entries.push_back({std::string(300, 'u'), false});
  fake.AddScript(TestFixtures::Answer(TestFixtures::BuildReply(plan), 5));
  RunQuery();
  EXPECT_TRUE(server.Succeeded());
  ASSERT_EQ(server.Results().size(), 3u);
  EXPECT_EQ(server.Results()[2].url, std::string(300, 'u'));
}

TEST_F(UpdateServerQuery, ServerThatNeverAnswersFailsAfterTheReceiveTimeOut) {
  server.SetTimeouts(kConnectMs, kSocketMs, kShortReceiveMs);
  fake.AddScript(TestFixtures::NeverAnswer());
  RunQuery();
  ExpectFailed();
  EXPECT_TRUE(fake.WaitForRequests(1, 10000));
  EXPECT_EQ(fake.Requests().size(), 1u);
  // Only a connect failure is logged per server.
  EXPECT_EQ(logging.log.Lines().size(), 1u);
}

TEST_F(UpdateServerQuery, ReplyLongerThanWhatIsSentFailsAfterTheReceiveTimeOut) {
  server.SetTimeouts(kConnectMs, kSocketMs, kShortReceiveMs);
  ReplyPlan plan = TestFixtures::GoodReply(kProduct);
  std::string reply = TestFixtures::BuildReply(plan);
  reply.resize(reply.size() - 4);  // the header announces 4 bytes more than come
  fake.AddScript(TestFixtures::Answer(reply));
  RunQuery();
  ExpectFailed();
}

TEST_F(UpdateServerQuery, StopWhileWaitingForTheAnswerEndsWithoutAnOutcome) {
  server.SetTimeouts(kConnectMs, kSocketMs, 60000);
  fake.AddScript(TestFixtures::NeverAnswer());
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(fake.WaitForRequests(1, 60000));
  server.Stop();
  server.Join();
  EXPECT_FALSE(server.Done());
  EXPECT_FALSE(server.Failed());
  EXPECT_FALSE(server.Succeeded());
}

TEST_F(UpdateServerQuery, StartingAgainGivesAFreshAnswer) {
  fake.AddScript(TestFixtures::Answer(TestFixtures::BuildReply(TestFixtures::GoodReply(kProduct, 1))));
  fake.AddScript(TestFixtures::Answer(TestFixtures::BuildReply(TestFixtures::GoodReply(kProduct, 2))));
  RunQuery();
  EXPECT_EQ(server.Version(), 1u);
  RunQuery();
  EXPECT_TRUE(server.Succeeded());
  EXPECT_EQ(server.Version(), 2u);
  EXPECT_EQ(server.Results().size(), 2u);
  EXPECT_EQ(fake.Requests().size(), 2u);
}

TEST_F(UpdateServerQuery, FailureAfterASuccessClearsTheOldAnswer) {
  fake.AddScript(TestFixtures::Answer(TestFixtures::BuildReply(TestFixtures::GoodReply(kProduct))));
  fake.AddScript(TestFixtures::CloseAtOnce());
  RunQuery();
  ASSERT_TRUE(server.Succeeded());
  RunQuery();
  ExpectFailed();
}

TEST_F(UpdateServerQuery, VersionAbove65535IsRefusedWithALogLine) {
  fake.AddScript(
      TestFixtures::Answer(TestFixtures::BuildReply(TestFixtures::GoodReply(kProduct, 65536))));
  RunQuery();
  ExpectFailed();
  const std::string port = std::to_string(fake.Port());
  const std::vector<TestSupport::LogLine> lines = logging.log.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].level, 2);
  EXPECT_EQ(lines[1].text,
            "Update server \"127.0.0.1, " + port + "\" announced version 65536, above 65535; ignored.");
}

TEST_F(UpdateServerQuery, Version65535IsAccepted) {
  fake.AddScript(
      TestFixtures::Answer(TestFixtures::BuildReply(TestFixtures::GoodReply(kProduct, 65535))));
  RunQuery();
  EXPECT_TRUE(server.Succeeded());
  EXPECT_EQ(server.Version(), 65535u);
}

// Cut to 16 bits the port would reach the fixture, which would answer well.
TEST_F(UpdateServerQuery, PortAbove65535FailsInsteadOfReachingAnotherPort) {
  const uint32_t port = 65536u + fake.Port();
  server.SetHost("127.0.0.1", port);
  fake.AddScript(TestFixtures::Answer(TestFixtures::BuildReply(TestFixtures::GoodReply(kProduct))));
  RunQuery();
  ExpectFailed();
  EXPECT_EQ(fake.Connections(), 0);
  EXPECT_TRUE(logging.log.Contains(ConnectFailedLine("127.0.0.1", port)));
}

TEST_F(UpdateServerQuery, HostNameLocalhostIsResolved) {
  server.SetHost("localhost", fake.Port());
  fake.AddScript(TestFixtures::Answer(TestFixtures::BuildReply(TestFixtures::GoodReply(kProduct))));
  RunQuery();
  EXPECT_TRUE(server.Succeeded());
}

// Answers that fail the server, one connection each.
struct BadAnswer {
  const char* label;
  ConnectionScript script;
};

ConnectionScript Reply(void (*change)(ReplyPlan*)) {
  ReplyPlan plan = TestFixtures::GoodReply(kProduct);
  change(&plan);
  return TestFixtures::Answer(TestFixtures::BuildReply(plan));
}

std::vector<BadAnswer> BadAnswers() {
  return {
      {"wrong_type", Reply([](ReplyPlan* s) { s->type = 4; })},
      {"status_0", Reply([](ReplyPlan* s) { s->status = 0; })},
      {"url_count_0", Reply([](ReplyPlan* s) { s->urlCountField = 0; })},
      {"wrong_echoed_name", Reply([](ReplyPlan* s) { s->name = "velmox"; })},
      {"length_12", Reply([](ReplyPlan* s) {
         s->lengthField = 12;
       })},
      {"name_length_beyond_block", Reply([](ReplyPlan* s) { s->nameLengthField = 4000; })},
      {"url_length_beyond_block", Reply([](ReplyPlan* s) { s->entries[1].lengthField = 4000; })},
      {"more_urls_than_sent", Reply([](ReplyPlan* s) { s->urlCountField = 9; })},
      {"version_65536", Reply([](ReplyPlan* s) { s->version = 65536; })},
      {"close_at_once", TestFixtures::CloseAtOnce()},
      {"never_answer", TestFixtures::NeverAnswer()},
  };
}

void PrintTo(const BadAnswer& answer, std::ostream* out) { *out << answer.label; }

class UpdateServerBadAnswer : public testing::TestWithParam<BadAnswer> {};

TEST_P(UpdateServerBadAnswer, FailsTheServer) {
  Logging logging;
  FakeUpdateServer fake;
  ASSERT_TRUE(fake.Ok());
  fake.AddScript(GetParam().script);
  UpdateServer server(logging.fileSystem.Logger());
  server.SetProductName(kProduct);
  server.SetHost("127.0.0.1", fake.Port());
  server.SetTimeouts(kConnectMs, kSocketMs, kShortReceiveMs);
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(WaitDone(server));
  EXPECT_TRUE(server.Failed());
  EXPECT_FALSE(server.Succeeded());
  EXPECT_TRUE(server.Results().empty());
}

INSTANTIATE_TEST_SUITE_P(Table, UpdateServerBadAnswer, testing::ValuesIn(BadAnswers()),
                         [](const testing::TestParamInfo<BadAnswer>& info) {
                           return std::string(info.param.label);
                         });

// A listener that never accepts, its queue filled by connections of its own:
// a further connect is neither taken nor refused, it just waits.
class FullListener {
 public:
  FullListener() {
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 0) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      return;
    port_ = ntohs(address.sin_port);
    // One filler at a time: each one the queue takes completes its connect;
    // the first that stays pending shows the queue full.
    for (int i = 0; i < kMaxFillers && !full_; ++i) {
      SOCKET filler = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
      u_long nonBlocking = 1;
      ioctlsocket(filler, FIONBIO, &nonBlocking);
      connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
      fillers_.push_back(filler);
      if (Completes(filler)) ++taken_;
      else full_ = taken_ > 0;
    }
  }
  ~FullListener() {
    for (SOCKET filler : fillers_) closesocket(filler);
    closesocket(listener_);
  }
  uint16_t Port() const { return port_; }
  // The queue took connects and then left one pending.
  bool Full() const { return full_; }

 private:
  static constexpr int kMaxFillers = 16;
  // A loopback connect that the queue has room for completes at once; one
  // that has not after this long has met a full queue.
  static constexpr long kPendingMs = 500;

  static bool Completes(SOCKET filler) {
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(filler, &writable);
    FD_SET(filler, &failed);
    timeval wait = {0, kPendingMs * 1000};
    return select(0, nullptr, &writable, &failed, &wait) > 0 && FD_ISSET(filler, &writable);
  }

  FileSystem::WinsockInit sockets_;
  SOCKET listener_ = INVALID_SOCKET;
  std::vector<SOCKET> fillers_;
  uint16_t port_ = 0;
  int taken_ = 0;
  bool full_ = false;
};

TEST(UpdateServerConnect, ConnectThatNeverCompletesFailsAfterTheConnectTimeOut) {
  Logging logging;
  FullListener listener;
  ASSERT_NE(listener.Port(), 0);
  ASSERT_TRUE(listener.Full());
  UpdateServer server(logging.fileSystem.Logger());
  server.SetProductName(kProduct);
  server.SetHost("127.0.0.1", listener.Port());
  server.SetTimeouts(300, kSocketMs, kShortReceiveMs);
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(WaitDone(server));
  EXPECT_TRUE(server.Failed());
  EXPECT_TRUE(logging.log.Contains(ConnectFailedLine("127.0.0.1", listener.Port())));
}

TEST(UpdateServerConnect, StopDuringTheConnectEndsWithoutAnOutcomeOrFailureLine) {
  Logging logging;
  FullListener listener;
  ASSERT_NE(listener.Port(), 0);
  ASSERT_TRUE(listener.Full());
  UpdateServer server(logging.fileSystem.Logger());
  server.SetProductName(kProduct);
  server.SetHost("127.0.0.1", listener.Port());
  server.SetTimeouts(60000, kSocketMs, kShortReceiveMs);
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(
      WaitFor([&] { return logging.log.Contains(ConnectLine("127.0.0.1", listener.Port())); }));
  server.Stop();
  server.Join();
  EXPECT_FALSE(server.Done());
  EXPECT_FALSE(server.Failed());
  EXPECT_EQ(logging.log.Lines().size(), 1u);
}

// Servers that cannot be reached at all: the connect fails and is logged.
struct Unreachable {
  const char* label;
  std::string host;
  uint32_t port;  // 0: a closed local port
};

void PrintTo(const Unreachable& server, std::ostream* out) { *out << server.label; }

class UpdateServerUnreachable : public testing::TestWithParam<Unreachable> {};

TEST_P(UpdateServerUnreachable, FailsWithTheConnectLines) {
  Logging logging;
  const uint32_t port = GetParam().port != 0 ? GetParam().port : TestFixtures::ClosedPort();
  ASSERT_NE(port, 0u);
  UpdateServer server(logging.fileSystem.Logger());
  server.SetProductName(kProduct);
  server.SetHost(GetParam().host.c_str(), port);
  server.SetTimeouts(kConnectMs, kSocketMs, kShortReceiveMs);
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(WaitDone(server));
  server.Join();
  EXPECT_TRUE(server.Failed());
  EXPECT_FALSE(server.Succeeded());
  const std::vector<TestSupport::LogLine> lines = logging.log.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].level, 0);
  EXPECT_EQ(lines[0].text, ConnectLine(GetParam().host, port));
  EXPECT_EQ(lines[1].level, 2);
  EXPECT_EQ(lines[1].text, ConnectFailedLine(GetParam().host, port));
}

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateServerUnreachable,
    testing::Values(Unreachable{"closed_port", "127.0.0.1", 0},
                    Unreachable{"unknown_host", "no-such-host.invalid", 80},
                    Unreachable{"empty_host", "", 80}),
    [](const testing::TestParamInfo<Unreachable>& info) { return std::string(info.param.label); });

}  // namespace
