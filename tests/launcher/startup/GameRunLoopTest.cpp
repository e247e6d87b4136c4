#include <gtest/gtest.h>

#include <windows.h>

#include "GameRunLoop.h"

namespace {

// Posts the quit message with a code after a number of activations, and
// counts the messages the loop dispatched.
class CountingGame : public IGameRunTarget {
 public:
  explicit CountingGame(int quitAfter) : quitAfter_(quitAfter) {}
  void Activate() override {
    if (++activations == 1) PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0);
    if (activations == quitAfter_) PostQuitMessage(42);
  }
  void Unload() override { ++unloads; }
  int activations = 0;
  int unloads = 0;

 private:
  int quitAfter_;
};

class GameRunLoopTest : public testing::TestWithParam<bool> {};

TEST_P(GameRunLoopTest, ActivatesAtItsPeriodAndEndsWithTheQuitCode) {
  CountingGame game(10);
  DWORD start = GetTickCount();
  EXPECT_EQ(42, RunGameLoop(&game, GetParam()));
  DWORD elapsed = GetTickCount() - start;
  EXPECT_EQ(10, game.activations);
  EXPECT_EQ(1, game.unloads);
  // Ten activations at 16 ms cannot come in a spin; allow a coarse clock.
  EXPECT_GE(elapsed, 100u);
}

INSTANTIATE_TEST_SUITE_P(TimerAndFallback, GameRunLoopTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("WithoutTimer") : std::string("WithTimer");
                         });

}  // namespace
