// A page's update through the game host of the loopback build: the product
// query goes to 127.0.0.1:9009, answered here with the download server that
// the script started (VELMOR_NGINX_ORIGIN, serving the published product),
// and the files and group the page asks for arrive with their events.
#include <winsock2.h>
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "GameHostTestSupport.h"
#include "GameLoader.h"
#include "KeyRouting.h"
#include "ProductReplyBuilder.h"
#include "ScriptTable.h"

using namespace GameHostTest;

namespace {

constexpr const char* kProduct = "ghupdate";

// Answers every product query on 127.0.0.1:9009 with one base URL; served
// from the ticking thread between ticks.
class QueryServer {
 public:
  explicit QueryServer(const std::string& reply) : reply_(reply) {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(9009);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(socket_, 8) != 0) {
      closesocket(socket_);
      socket_ = INVALID_SOCKET;
      return;
    }
    u_long nonBlocking = 1;
    ioctlsocket(socket_, FIONBIO, &nonBlocking);
  }
  ~QueryServer() {
    for (SOCKET client : clients_) closesocket(client);
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    if (started_) WSACleanup();
  }
  bool Ok() const { return socket_ != INVALID_SOCKET; }
  int Answered() const { return answered_; }

  void Poll() {
    for (;;) {
      SOCKET client = ::accept(socket_, nullptr, nullptr);
      if (client == INVALID_SOCKET) break;
      u_long blocking = 0;
      ioctlsocket(client, FIONBIO, &blocking);
      // The query is small; answer once its first bytes are in.
      char request[512];
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(client, &readable);
      timeval wait = {2, 0};
      if (select(0, &readable, nullptr, nullptr, &wait) == 1 &&
          ::recv(client, request, sizeof request, 0) > 0) {
        ::send(client, reply_.data(), static_cast<int>(reply_.size()), 0);
        ++answered_;
      }
      // Kept open until the end: the client closes when it has read the reply.
      clients_.push_back(client);
    }
  }

 private:
  std::string reply_;
  bool started_ = false;
  SOCKET socket_ = INVALID_SOCKET;
  std::vector<SOCKET> clients_;
  int answered_ = 0;
};

bool Has(const std::vector<std::string>& events, const std::string& event) {
  for (const std::string& e : events) {
    if (e == event) return true;
  }
  return false;
}

int IndexOf(const std::vector<std::string>& events, const std::string& event) {
  for (size_t i = 0; i < events.size(); ++i) {
    if (events[i] == event) return static_cast<int>(i);
  }
  return -1;
}

TEST(UpdateFromLoopbackTest, FilesAndGroupsArriveWithTheirEvents) {
  const char* origin = std::getenv("VELMOR_NGINX_ORIGIN");
  ASSERT_NE(nullptr, origin) << "run through update-from-loopback.sh";
  UsePrivateLogFolder();
  RemoveFolder(ProductFolder(kProduct));

  TestFixtures::ReplyPlan plan = TestFixtures::GoodReply(kProduct, 3);
  plan.entries.clear();
  plan.entries.push_back({std::string(origin) + "/", false});
  QueryServer server(TestFixtures::BuildReply(plan));
  ASSERT_TRUE(server.Ok()) << "127.0.0.1:9009 is taken";

  RecordingOwner owner;
  KeyRouting keys;
  keys.ResetToDefaults();
  std::unique_ptr<GameLoader> loader(new GameLoader(HostFlavour::Netscape));
  ASSERT_TRUE(loader->Init(&owner, GetModuleHandleW(nullptr), nullptr));
  ScriptContext context = {loader.get(), &keys};
  auto call = [&](int number, std::vector<ScriptValue> args) {
    ScriptValue result;
    EXPECT_EQ(ScriptCallStatus::Ok,
              InvokeScriptMethod(context, number, args.data(), args.size(), &result));
    return FormatValue(result);
  };

  ASSERT_EQ("true", call(15, {ScriptValue::Text(kProduct), ScriptValue::UInt32(2),
                              ScriptValue::UInt32(524288000), ScriptValue::UInt32(104857600)}));
  auto tickUntil = [&](const std::string& event) {
    for (int i = 0; i < 60000; ++i) {
      server.Poll();
      loader->OnTimer();
      if (Has(owner.events, event)) return true;
      Sleep(1);
    }
    return false;
  };
  ASSERT_TRUE(tickUntil("OnReadyForUpdate")) << "state " << call(24, {});
  EXPECT_GE(server.Answered(), 1);
  EXPECT_EQ("true", call(23, {}));
  EXPECT_EQ("ReadyForUpdate", call(24, {}));
  EXPECT_EQ("true", call(17, {ScriptValue::Text("c.txt")}));
  EXPECT_EQ("true", call(19, {ScriptValue::Text("maps")}));
  EXPECT_TRUE(tickUntil("OnUpdateFileSuccess(c.txt)"));
  EXPECT_TRUE(tickUntil("OnUpdateResourceGroupSuccess(maps)"));
  EXPECT_EQ("true", call(16, {ScriptValue::Text("c.txt")}));
  EXPECT_EQ("true", call(18, {ScriptValue::Text("maps")}));
  EXPECT_EQ("true", call(16, {ScriptValue::Text("a.txt")})) << "a member of maps";

  // The order of one product's events: state changes and readiness first,
  // then task counts before the names they end with.
  int ready = IndexOf(owner.events, "OnReadyForUpdate");
  int firstTask = -1;
  for (size_t i = 0; i < owner.events.size(); ++i) {
    if (owner.events[i].compare(0, 24, "OnUpdateTaskCountChanged") == 0) {
      firstTask = static_cast<int>(i);
      break;
    }
  }
  EXPECT_GT(firstTask, ready);
  EXPECT_LT(firstTask, IndexOf(owner.events, "OnUpdateFileSuccess(c.txt)"));
  EXPECT_EQ(IndexOf(owner.events, "OnUpdateStateChanged(ReadyForUpdate)") + 1, ready);
  std::string log = PluginLogText();
  EXPECT_NE(std::string::npos, log.find("Update file success c.txt."));
  EXPECT_NE(std::string::npos, log.find("Update resource group success maps."));
  loader.reset();
  RemoveFolder(ProductFolder(kProduct));
}

}  // namespace
