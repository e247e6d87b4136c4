// The sample game run inside the plug-in window: started from the page,
// ticked by the plug-in's timer, raising page events through its callbacks,
// and stopped again (game.dll unloaded), by StopGame or by the instance's
// destruction.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <fstream>
#include <sstream>
#include <string>

#include "BrowserRun.h"

namespace {

// The product's data folder as the plug-in chooses it.
std::string DataFolder(const std::string& product) {
  char base[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, base, CSIDL_LOCAL_APPDATA, TRUE);
  std::string folder = std::string(base) + "\\dorvgame";
  CreateDirectoryA(folder.c_str(), nullptr);
  folder += "\\" + product;
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder + "\\";
}

std::string ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// A data folder with the sample game and its setting file; the game's log
// starts empty.
std::string PrepareGame(const std::string& product, const std::string& settings) {
  const std::string folder = DataFolder(product);
  EXPECT_TRUE(CopyFileA((TestFolder() + "game.dll").c_str(), (folder + "game.dll").c_str(),
                        FALSE));
  std::ofstream(folder + "samplegame.ini", std::ios::binary) << settings;
  DeleteFileA((folder + "samplegame.log").c_str());
  return folder;
}

struct GameCase {
  const char* name;
  const char* product;
  const char* settings;
  const char* script;
  const char* logHas[5];  // lines the game's log must hold, in this order
};

void PrintTo(const GameCase& gameCase, std::ostream* out) { *out << gameCase.name; }

const GameCase kCases[] = {
    {"RunsTicksRaisesEventsAndStops", "npgame1",
     "activate_fire=Hello|W\xC3\xB6rld\nactivate_exit=Bye\n",
     "setwindow\n"
     "attach OnRunGameSuccess\nattach OnGameEvent\nattach OnGameExit\n"
     "call SetProduct \"npgame1\" 5 524288000 104857600 => true\n"
     "call RunGame \"Login=success;Account=\xC3\xA9\" => true\n"
     "expect-event OnRunGameSuccess\n"
     "call IsGameRuning => true\n"
     "call IsFileReady \"a.txt\" => false\n"
     "expect-event OnGameEvent \"Hello\" \"W\xC3\xB6rld\"\n"
     "expect-event OnGameExit \"Bye\"\n"
     // Window input goes to the game through the subclassed window.
     "post 256 65 0\n"
     "pump 200\n"
     "call StopGame => true\n"
     "call IsGameRuning => false\n",
     {"param.runParams=Login=success;Account=\xC3\xA9", "Run", "Activate flag=0",
      "WindowProc message=256 wParam=65", "Unload"}},
    {"StepsItsInitialisationWithProgress", "npgame2",
     "init_pending=1\nstep.1=0,0,0,0.5\nstep.2=0,1,0,1\n",
     "setwindow\n"
     "attach OnLoadingGameProgressChanged\nattach OnRunGameSuccess\n"
     "call SetProduct \"npgame2\" 5 524288000 104857600 => true\n"
     "call RunGame \"\" => true\n"
     "expect-event OnLoadingGameProgressChanged ~0.5\n"
     "expect-event OnLoadingGameProgressChanged ~1\n"
     "expect-next OnRunGameSuccess\n"
     "call IsGameRuning => true\n"
     "call IsInitGame => false\n",
     {"DoInitStep result=0 succeeded=0 aborted=0 progress=0.5", "Run", "Exit", "Unload",
      nullptr}},
    {"AFailedInitialisationReachesThePage", "npgame3", "init_result=7\n",
     "setwindow\n"
     "attach OnRunGameFailed\n"
     "call SetProduct \"npgame3\" 5 524288000 104857600 => true\n"
     "call RunGame \"x\" => false\n"
     "expect-next OnRunGameFailed 7\n"
     "call IsGameRuning => false\n",
     {"Init", "Exit", "Unload", nullptr, nullptr}},
    {"DestroyingTheInstanceStopsTheGame", "npgame4", "",
     "setwindow\n"
     "attach OnRunGameSuccess\n"
     "call SetProduct \"npgame4\" 5 524288000 104857600 => true\n"
     "call RunGame \"x\" => true\n"
     "expect-event OnRunGameSuccess\n"
     "pump 100\n"
     "destroy\n"
     "expect-no-timer 200\n",
     {"Run", "Activate flag=0", "Exit", "Unload", nullptr}},
    {"ALongRunParameterReachesTheGameWhole", "npgame5", "",
     "setwindow\n"
     "call SetProduct \"npgame5\" 5 524288000 104857600 => true\n"
     "call RunGame str:5000 => true\n"
     "call StopGame => true\n",
     {nullptr, nullptr, nullptr, nullptr, nullptr}},
};

class GameRun : public ::testing::TestWithParam<GameCase> {};

TEST_P(GameRun, InThePluginWindow) {
  const GameCase& c = GetParam();
  const std::string folder = PrepareGame(c.product, c.settings);
  BrowserRun run = RunBrowser(c.script);
  EXPECT_EQ(0, run.exitCode) << run.output;
  const std::string log = ReadText(folder + "samplegame.log");
  size_t at = 0;
  for (const char* line : c.logHas) {
    if (!line) continue;
    size_t found = log.find(std::string(line), at);
    EXPECT_NE(std::string::npos, found) << "missing in order: " << line << "\n"
                                        << log.substr(0, 3000);
    if (found != std::string::npos) at = found;
  }
  // The game is unloaded at the end of every case.
  const size_t lastLoad = log.rfind("Load\n");
  const size_t lastUnload = log.rfind("Unload\n");
  EXPECT_NE(std::string::npos, lastUnload);
  EXPECT_TRUE(lastLoad == std::string::npos || lastUnload > lastLoad);
  if (std::string(c.name) == "ALongRunParameterReachesTheGameWhole") {
    EXPECT_NE(std::string::npos, log.find("param.runParams=" + std::string(5000, 'x') + "\n"));
  }
}

INSTANTIATE_TEST_SUITE_P(SampleGame, GameRun, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<GameCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace

namespace {

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The test folder is the browser's own folder and its current directory, and
// the sample game lies there as "game.dll": the first places a bare library
// name would be looked up in.
class GameBesideTheBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FileExists(TestFolder() + "game.dll"));
    DeleteFileA(strayLog.c_str());
  }
  void TearDown() override { DeleteFileA(strayLog.c_str()); }

  const std::string strayLog = TestFolder() + "samplegame.log";
};

TEST_F(GameBesideTheBrowser, RunGameWithoutProductLoadsNoGame) {
  // The failure's log line is checked by the game host's own tests: the
  // plug-in log is one file for every browser process, and browsers that
  // other cases start at the same time begin it afresh.
  BrowserRun run = RunBrowser(
      "setwindow\n"
      "attach OnRunGameSuccess\nattach OnRunGameFailed\n"
      "call RunGame \"x\" => false\n"
      "pump 200\n"
      "expect-no-event\n"
      "call IsGameRuning => false\n");
  ASSERT_EQ(0, run.exitCode) << run.output;
  EXPECT_FALSE(FileExists(strayLog)) << ReadText(strayLog);
}

TEST_F(GameBesideTheBrowser, AfterSetProductTheProductsGameRuns) {
  const std::string folder = PrepareGame("npgame6", "");
  BrowserRun run = RunBrowser(
      "setwindow\n"
      "attach OnRunGameSuccess\n"
      "call SetProduct \"npgame6\" 5 524288000 104857600 => true\n"
      "call RunGame \"x\" => true\n"
      "expect-event OnRunGameSuccess\n"
      "call StopGame => true\n");
  EXPECT_EQ(0, run.exitCode) << run.output;
  const std::string log = ReadText(folder + "samplegame.log");
  EXPECT_NE(std::string::npos, log.find("Run")) << log;
  EXPECT_NE(std::string::npos, log.find("Unload")) << log;
  EXPECT_FALSE(FileExists(strayLog)) << ReadText(strayLog);
}

}  // namespace
