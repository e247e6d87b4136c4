// GameLoader over the real file system of the loopback build: every built-in
// update server is 127.0.0.1, the first on port 9009, which this test holds
// with a listener of its own to see the product query arrive.
#include <winsock2.h>
#include <windows.h>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "GameHostTestSupport.h"
#include "GameLoader.h"
#include "KeyRouting.h"
#include "ScriptTable.h"

using namespace GameHostTest;

namespace {

// A listener on 127.0.0.1:9009 that accepts connections and counts them.
class Port9009Listener {
 public:
  Port9009Listener() {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!started_) return;
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket_ == INVALID_SOCKET) return;
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
  ~Port9009Listener() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    if (started_) WSACleanup();
  }
  bool Ok() const { return socket_ != INVALID_SOCKET; }
  // Accepts what is waiting and closes it at once; the count so far.
  int Poll() {
    for (;;) {
      SOCKET client = ::accept(socket_, nullptr, nullptr);
      if (client == INVALID_SOCKET) break;
      closesocket(client);
      ++accepted_;
    }
    return accepted_;
  }

 private:
  bool started_ = false;
  SOCKET socket_ = INVALID_SOCKET;
  int accepted_ = 0;
};

class RealFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UsePrivateLogFolder();
    product = UniqueProduct("rf");
    RemoveFolder(ProductFolder(product));
    keys.ResetToDefaults();
    loader.reset(new GameLoader(HostFlavour::Netscape));
    loader->Init(&owner, GetModuleHandleW(nullptr), nullptr);
    context = ScriptContext{loader.get(), &keys};
  }
  void TearDown() override {
    loader.reset();
    RemoveFolder(ProductFolder(product));
  }

  std::string CallText(int number, std::vector<ScriptValue> args = {}) {
    ScriptValue result;
    EXPECT_EQ(ScriptCallStatus::Ok,
              InvokeScriptMethod(context, number, args.data(), args.size(), &result));
    return FormatValue(result);
  }

  RecordingOwner owner;
  KeyRouting keys;
  std::unique_ptr<GameLoader> loader;
  ScriptContext context = {nullptr, nullptr};
  std::string product;
};

TEST_F(RealFileSystemTest, SetProductAsksTheLoopbackServerAndReportsStates) {
  Port9009Listener listener;
  if (!listener.Ok()) GTEST_SKIP() << "127.0.0.1:9009 is taken by another program";
  ASSERT_EQ("true", CallText(15, {ScriptValue::Text(product), ScriptValue::UInt32(2),
                                  ScriptValue::UInt32(524288000),
                                  ScriptValue::UInt32(104857600)}));
  ASSERT_NE(nullptr, loader->GetFileSystem());
  bool asked = false;
  bool reported = false;
  for (int tick = 0; tick < 20000 && !(asked && reported); ++tick) {
    loader->OnTimer();
    asked = asked || listener.Poll() > 0;
    for (const std::string& event : owner.events) {
      reported = reported || event.compare(0, 21, "OnUpdateStateChanged(") == 0;
    }
    Sleep(1);
  }
  EXPECT_TRUE(asked) << "the first built-in server is 127.0.0.1:9009";
  EXPECT_TRUE(reported);
  EXPECT_EQ("", CallText(40));
  loader->Exit();
  std::string log = PluginLogText();
  EXPECT_NE(std::string::npos, log.find("Set product " + product + ", 2, 524288000, 104857600 success."));
  EXPECT_NE(std::string::npos, log.find("Exit file system."));
}

TEST_F(RealFileSystemTest, RunGameReleasesTheFileSystemAndRunsTheProductsGame) {
  ASSERT_TRUE(loader->SetProduct(product.c_str(), 2, 524288000, 104857600));
  ASSERT_TRUE(InstallSampleGame(ProductFolder(product), "game", ""));
  ASSERT_TRUE(loader->RunGame(L"go"));
  EXPECT_EQ(nullptr, loader->GetFileSystem());
  EXPECT_TRUE(loader->IsGameRunning());
  EXPECT_EQ("false", CallText(16, {ScriptValue::Text("any")})) << "no product while it runs";
  EXPECT_TRUE(loader->SetProduct(product.c_str(), 2, 1, 1)) << "same name while running";
  EXPECT_TRUE(loader->IsGameRunning());
  loader->Stop();
  ASSERT_TRUE(loader->SetProduct(product.c_str(), 2, 524288000, 104857600))
      << "after Stop the same name builds a new file system";
  EXPECT_NE(nullptr, loader->GetFileSystem());
}

}  // namespace
