#include <gtest/gtest.h>

#include <cstring>

#include "GameLibrary.h"

namespace {

TEST(GameLibraryTest, NamesFollowTheResolvingOrder) {
  EXPECT_STREQ(kGameEntryPointNames[0], "DorvGameClient_Init");
  EXPECT_STREQ(kGameEntryPointNames[1], "DorvGameClient_DoInitStep");
  EXPECT_STREQ(kGameEntryPointNames[9], "DorvGameClient_SetGameExitFunction");
  for (const char* name : kGameEntryPointNames) EXPECT_EQ(std::strncmp(name, "DorvGameClient_", 15), 0);
}

TEST(GameLibraryTest, ModuleWithoutExportsResolvesToNulls) {
  GameEntryPoints points;
  std::memset(&points, 0xAB, sizeof points);
  ResolveGameEntryPoints(GetModuleHandleW(L"kernel32.dll"), &points);
  EXPECT_EQ(points.init, nullptr);
  EXPECT_EQ(points.doInitStep, nullptr);
  EXPECT_EQ(points.setGameExitFunction, nullptr);
}

}  // namespace
