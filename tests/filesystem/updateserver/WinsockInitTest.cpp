#include "net/WinsockInit.h"

#include <gtest/gtest.h>
#include <winsock2.h>

namespace {

// True when a TCP socket can be made, i.e. Windows Sockets is started.
bool SocketsUsable() {
  const SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (probe == INVALID_SOCKET) return false;
  closesocket(probe);
  return true;
}

TEST(WinsockInit, SocketsWorkWhileAGuardLives) {
  FileSystem::WinsockInit guard;
  ASSERT_TRUE(guard.Ok());
  EXPECT_TRUE(SocketsUsable());
}

TEST(WinsockInit, AnInnerGuardEndingLeavesTheOuterOneWorking) {
  FileSystem::WinsockInit outer;
  ASSERT_TRUE(outer.Ok());
  {
    FileSystem::WinsockInit inner;
    EXPECT_TRUE(inner.Ok());
  }
  EXPECT_TRUE(SocketsUsable());
}

TEST(WinsockInit, TheLastGuardStopsTheSockets) {
  {
    FileSystem::WinsockInit first;
    FileSystem::WinsockInit second;
    ASSERT_TRUE(first.Ok() && second.Ok());
  }
  EXPECT_FALSE(SocketsUsable());
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

}  // namespace
