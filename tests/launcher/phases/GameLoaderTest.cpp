#include <gtest/gtest.h>

#include "LoaderFakes.h"

namespace LoaderTests {
namespace {

const wchar_t kLoginAnswer[] =
    L"xLogin=success;ServerAddress=127.0.0.1:8123;Account=player1;ServerIndex=4";
const char kLoggedInBody80[] = "ac=player1&in=4&type=80";

class GameLoaderTest : public testing::Test {
 protected:
  void SetUp() override {
    rig.settings.updateEnabled = false;
    rig.browser.answer = kLoginAnswer;
    rig.browser.answerFromCall = 3;
  }
  void Start(const wchar_t* commandLine = L"") {
    rig.Wire();
    ASSERT_TRUE(rig.loader.Init(commandLine, false, false));
    rig.loader.ShowLoader();
  }
  LoaderRig rig;
};

TEST_F(GameLoaderTest, LoginThenGameWithStepsEndsTheLoadingPhase) {
  Start();
  EXPECT_TRUE(rig.view.mainSkin);
  ASSERT_EQ(1u, rig.browser.navigated.size());
  EXPECT_EQ(L"http://127.0.0.1/login", rig.browser.navigated[0]);
  ASSERT_TRUE(rig.TickUntil([&] { return !rig.loader.loading(); }));
  EXPECT_TRUE(rig.loader.gameReady());
  EXPECT_TRUE(rig.game.running);
  EXPECT_EQ(L"getRunGameParam", rig.browser.lastFunction);
  // The text before the marker is dropped.
  EXPECT_EQ(std::wstring(kLoginAnswer + 1), rig.loader.runParams());
  EXPECT_EQ(std::wstring(kLoginAnswer + 1), rig.game.started.runParams);
  EXPECT_TRUE(rig.view.layeredEnded);
  EXPECT_TRUE(rig.reports.HasStat("LoginSuccess"));
  EXPECT_TRUE(rig.reports.HasStat("BeginLoading"));
  EXPECT_TRUE(rig.reports.HasStat("LoadingSuccess"));
  ASSERT_FALSE(rig.reports.posts.empty());
  EXPECT_EQ("http://127.0.0.1:8123/velmor/secret/dispatch", rig.reports.posts[0].first);
  EXPECT_EQ(1, rig.reports.CountPosts(kLoggedInBody80));
  EXPECT_EQ(1, rig.reports.CountPosts("ac=player1&in=4&type=81"));
  EXPECT_EQ(1, rig.reports.CountPosts("ac=player1&in=4&type=82"));
}

TEST_F(GameLoaderTest, LoginIsReportedOnceWhenThePageStays) {
  rig.settings.browserShowWhenLoginSuccess = true;
  rig.game.script.stepsUntilDone = 5;
  Start();
  ASSERT_TRUE(rig.TickUntil([&] { return !rig.loader.loading(); }));
  int callsAtLogin = rig.browser.calls;
  EXPECT_EQ(3, callsAtLogin);
  EXPECT_EQ(1, rig.reports.CountPosts(kLoggedInBody80));
}

TEST_F(GameLoaderTest, MarkerOnTheCommandLineSkipsTheLoginWait) {
  Start(L"Login=success;ServerAddress=h;Account=a;ServerIndex=1");
  rig.loader.Tick();
  EXPECT_EQ(kLoaderWaitingForLogin, rig.loader.state());
  rig.loader.Tick();
  EXPECT_EQ(kLoaderLoadingGame, rig.loader.state());
  EXPECT_EQ(0, rig.browser.calls);
}

TEST_F(GameLoaderTest, WithoutLoginTheFirstPassStartsTheGame) {
  rig.settings.loginEnabled = false;
  Start();
  EXPECT_TRUE(rig.browser.navigated.empty());
  rig.loader.Tick();
  EXPECT_EQ(kLoaderLoadingGame, rig.loader.state());
  EXPECT_EQ(1, rig.game.loads);
}

TEST_F(GameLoaderTest, FirstRunParameterIsAppended) {
  rig.settings.sendFirstRunParam = true;
  rig.Wire();
  ASSERT_TRUE(rig.loader.Init(L"", false, true));
  ASSERT_EQ(1u, rig.browser.navigated.size());
  EXPECT_EQ(L"http://127.0.0.1/login?action=first_run", rig.browser.navigated[0]);
}

TEST_F(GameLoaderTest, ReloginWithoutReloginPageNavigatesNowhere) {
  rig.Wire();
  ASSERT_TRUE(rig.loader.Init(L"", true, false));
  EXPECT_TRUE(rig.browser.navigated.empty());
}

struct LoadCase {
  const char* name;
  GameScript script;
  int finalState;
  bool ready;
  bool running;
  int unloads;
  const char* lastMessage;
  int lastValue;
};

class GameLoadTest : public testing::TestWithParam<LoadCase> {};

TEST_P(GameLoadTest, EndsAsScripted) {
  const LoadCase& c = GetParam();
  LoaderRig rig;
  rig.settings.updateEnabled = false;
  rig.settings.loginEnabled = false;
  rig.game.script = c.script;
  rig.Wire();
  ASSERT_TRUE(rig.loader.Init(L"", false, false));
  rig.loader.ShowLoader();
  for (int i = 0; i < 20 && rig.loader.loading(); ++i) rig.loader.Tick();
  EXPECT_EQ(c.finalState, rig.loader.state());
  EXPECT_EQ(c.ready, rig.loader.gameReady());
  EXPECT_EQ(!c.ready, rig.loader.loading());
  EXPECT_EQ(c.running, rig.game.running);
  EXPECT_EQ(c.unloads, rig.game.unloads);
  EXPECT_EQ(c.lastMessage, rig.view.LastMessage());
  if (!rig.view.messages.empty()) {
    EXPECT_EQ(c.lastValue, rig.view.messages.back().second);
  }
  if (c.finalState == kLoaderFailed) {
    EXPECT_TRUE(rig.view.closeEnabled);
  }
}

GameScript Script(int32_t loadCode, bool pending, bool step, int steps, int32_t stepError,
                  bool abort, bool succeedAtAbort) {
  GameScript s;
  s.loadCode = loadCode;
  s.initPending = pending;
  s.hasDoInitStep = step;
  s.stepsUntilDone = steps;
  s.stepError = stepError;
  s.abortAtEnd = abort;
  s.succeedAtAbort = succeedAtAbort;
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Variants, GameLoadTest,
    testing::Values(
        LoadCase{"NoPendingSteps", Script(0, false, true, 1, 0, false, false), kLoaderLoadingGame,
                 true, true, 0, "loading_game", 0},
        LoadCase{"TwoSteps", Script(0, true, true, 2, 0, false, false), kLoaderLoadingGame, true,
                 true, 0, "loading_game", 0},
        LoadCase{"InitFails", Script(7, true, true, 2, 0, false, false), kLoaderFailed, false,
                 false, 0, "loading_game_error", 7},
        LoadCase{"StepErrorIsRetried", Script(0, true, true, 3, 9, false, false),
                 kLoaderLoadingGame, true, true, 0, "loading_game_error", 9},
        LoadCase{"Aborted", Script(0, true, true, 2, 0, true, false), kLoaderFailed, false, false,
                 1, "loading_game_error", 1},
        // Success and abort together: the game is gone, not left running.
        LoadCase{"SucceededAndAborted", Script(0, true, true, 1, 0, true, true), kLoaderFailed,
                 false, false, 1, "loading_game_error", 1},
        // Nothing can finish the initialisation: Failed, with Close enabled.
        LoadCase{"NoDoInitStep", Script(0, true, false, 1, 0, false, false), kLoaderFailed, false,
                 false, 1, "loading_game_error", 1}),
    [](const testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

TEST(GameLoaderAbortTest, AbortReportsLoadingFailedOnce) {
  LoaderRig rig;
  rig.settings.updateEnabled = false;
  rig.settings.loginEnabled = false;
  rig.game.script = Script(0, true, true, 1, 0, true, true);
  rig.Wire();
  ASSERT_TRUE(rig.loader.Init(L"Login=success;ServerAddress=s;Account=a;ServerIndex=2", false, false));
  rig.loader.ShowLoader();
  for (int i = 0; i < 10; ++i) rig.loader.Tick();
  EXPECT_TRUE(rig.reports.HasStat("LoadingFailed"));
  EXPECT_EQ(1, rig.reports.CountPosts("ac=a&in=2&type=83"));
  EXPECT_EQ(1, rig.game.steps);
}

struct RunParamCase {
  const wchar_t* params;
  const wchar_t* name;
  bool found;
  const wchar_t* value;
};

class RunParamTest : public testing::TestWithParam<RunParamCase> {};

TEST_P(RunParamTest, ReadsTheFirstOccurrence) {
  const RunParamCase& c = GetParam();
  LoaderRig rig;
  rig.settings.updateEnabled = false;
  rig.Wire();
  ASSERT_TRUE(rig.loader.Init(c.params, false, false));
  std::wstring value;
  EXPECT_EQ(c.found, rig.loader.GetRunParam(c.name, &value));
  EXPECT_EQ(c.value, value);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RunParamTest,
    testing::Values(RunParamCase{L"Login=success;Account=a1;ServerIndex=3", L"Account", true, L"a1"},
                    RunParamCase{L"Login=success;ServerIndex=3", L"ServerIndex", true, L"3"},
                    RunParamCase{L"Login=success;AccountType=x;Account=a1", L"Account", false, L""},
                    RunParamCase{L"Login=success;Account=;", L"Account", true, L""},
                    RunParamCase{L"Login=success;", L"Account", false, L""},
                    RunParamCase{L"no marker;Account=a1", L"Account", false, L""}));

TEST(DispatchReportTest, NotSentWithoutStatistics) {
  LoaderRig rig;
  rig.settings.statEnabled = false;
  rig.Wire();
  ASSERT_TRUE(rig.loader.Init(L"Login=success;ServerAddress=s;Account=a;ServerIndex=2", false, false));
  EXPECT_FALSE(rig.loader.SendDispatchReport(80));
  EXPECT_TRUE(rig.reports.posts.empty());
}

TEST(LogSystemTest, TextReachesTheLogUnformatted) {
  LoaderRig rig;
  rig.Wire();
  rig.loader.logSystem()->Log(7, "100% of %s");
  ASSERT_EQ(1u, rig.log.lines.size());
  EXPECT_EQ(2, rig.log.lines[0].first);
  EXPECT_EQ("100% of %s", rig.log.lines[0].second);
}

}  // namespace
}  // namespace LoaderTests
