#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ConfigMgr.h"
#include "GameDll.h"
#include "GameInitBlock.h"

namespace {

std::string ExeFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string text(path);
  return text.substr(0, text.find_last_of("\\/") + 1);
}

// A folder of its own holding one sample variant as "game.dll" and its
// setting file, made the current directory for the test's life.
class GameFolder {
 public:
  GameFolder(const char* variant, const std::string& settings) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    static int counter = 0;
    folder_ = std::string(temp) + "velmor-game-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(++counter) + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
    if (variant)
      CopyFileA((ExeFolder() + "sample_" + variant + ".dll").c_str(), (folder_ + "game.dll").c_str(),
                FALSE);
    std::ofstream(folder_ + "samplegame.ini", std::ios::binary) << settings;
    GetCurrentDirectoryA(MAX_PATH, previous_);
    SetCurrentDirectoryA(folder_.c_str());
  }
  ~GameFolder() {
    SetCurrentDirectoryA(previous_);
    std::string from = folder_.substr(0, folder_.size() - 1);
    from.push_back('\0');
    SHFILEOPSTRUCTA op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationA(&op);
  }
  const std::string& Path() const { return folder_; }
  std::vector<std::string> LogLines() const {
    std::ifstream in(folder_ + "samplegame.log", std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
  }
  bool Logged(const std::string& line) const {
    for (const std::string& l : LogLines())
      if (l == line) return true;
    return false;
  }
  int Count(const std::string& line) const {
    int n = 0;
    for (const std::string& l : LogLines()) n += l == line;
    return n;
  }

 private:
  std::string folder_;
  char previous_[MAX_PATH] = {};
};

std::unique_ptr<ConfigMgr> Config(const std::string& xml) {
  auto config = std::make_unique<ConfigMgr>();
  EXPECT_TRUE(config->LoadConfigText(xml.data(), xml.size()));
  return config;
}

const char kConfig[] =
    "<Config RunPlace=\"CurrentDirectory\" PublishVersion=\"true\">"
    "<Update Enable=\"true\" ProductName=\"SampleProduct\" UpdateThreadCount=\"3\" "
    "MaxPackageSize=\"1000\" MaxDeltaPackageSize=\"200\"><UpdateServers>"
    "<UpdateServer Server=\"127.0.0.1\" Port=\"29009\"/><UpdateServer Server=\"up.example\" "
    "Port=\"80\"/></UpdateServers></Update></Config>";

TEST(GameDllTest, InitGetsTheBlockAndUnloadEndsTheGame) {
  GameFolder folder("game", "init_pending=1\n");
  auto config = Config(kConfig);
  int host = 0;
  GameDll dll;
  {
    GameInitBlock block(*config, GetModuleHandleW(nullptr), nullptr, &host, L"Login=success;a=b");
    ASSERT_EQ(dll.LoadGameDll(block.Params()), 0);
  }
  EXPECT_TRUE(dll.IsLoaded());
  EXPECT_EQ(dll.GetInitPending(), 1);
  EXPECT_NE(dll.GetGameContext(), nullptr);
  const GameEntryPoints& points = dll.GetEntryPoints();
  EXPECT_NE(points.doInitStep, nullptr);
  EXPECT_NE(points.setGameExitFunction, nullptr);

  std::string current(folder.Path(), 0, folder.Path().size() - 1);
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  const std::string expected[] = {
      "param.productName=SampleProduct",
      "param.maxUpdateThreadCount=3",
      "param.maxPackageSize=1000",
      "param.maxDeltaPackageSize=200",
      "param.updateServers=127.0.0.1:29009,up.example:80",
      "param.runParams=Login=success;a=b",
      "param.dataFolder=" + current,
      std::string("param.hostModulePath=") + exe,
      "param.dataFolderKind=2",
      "param.hostFlag1=0",
      "param.hostFlag2=0",
      "param.updateEnabled=1",
      "param.publishVersion=1",
  };
  for (const std::string& line : expected) EXPECT_TRUE(folder.Logged(line)) << line;
  EXPECT_FALSE(folder.Logged("Exit"));

  dll.SetRunning(true);
  dll.UnloadGameDll();
  EXPECT_FALSE(dll.IsLoaded());
  EXPECT_FALSE(dll.IsRunning());
  EXPECT_EQ(dll.GetGameContext(), nullptr);
  EXPECT_EQ(dll.GetEntryPoints().init, nullptr);
  EXPECT_EQ(dll.GetInitPending(), 1);  // kept as the game wrote it
  EXPECT_EQ(folder.Count("Exit"), 1);
  EXPECT_TRUE(folder.Logged("Unload"));
}

TEST(GameDllTest, InitFailureCodeIsPassedOnAndTheLibraryStaysLoaded) {
  struct Case {
    const char* settings;
    int32_t expected;
  } cases[] = {{"init_result=7\n", 7}, {"init_result=-3\n", -3}, {"init_result=0\n", 0}};
  auto config = Config(kConfig);
  for (const Case& c : cases) {
    GameFolder folder("game_initonly", c.settings);
    GameDll dll;
    GameInitBlock block(*config, GetModuleHandleW(nullptr), nullptr, nullptr, L"");
    EXPECT_EQ(dll.LoadGameDll(block.Params()), c.expected) << c.settings;
    EXPECT_TRUE(dll.IsLoaded());
    dll.UnloadGameDll();
    EXPECT_TRUE(folder.Logged("Unload"));
  }
}

TEST(GameDllTest, ExitFollowsAFailedInitOnlyAtUnload) {
  GameFolder folder("game", "init_result=7\n");
  auto config = Config(kConfig);
  GameDll dll;
  GameInitBlock block(*config, GetModuleHandleW(nullptr), nullptr, nullptr, L"");
  EXPECT_EQ(dll.LoadGameDll(block.Params()), 7);
  EXPECT_FALSE(folder.Logged("Exit"));
  dll.UnloadGameDll();
  EXPECT_EQ(folder.Count("Exit"), 1);
}

TEST(GameDllTest, LibraryWithoutInitGivesOneAndNeverSeesExit) {
  GameFolder folder("game_noinit", "");
  GameDll dll;
  EXPECT_EQ(dll.LoadGameDll(nullptr), 1);
  EXPECT_FALSE(dll.IsLoaded());
  EXPECT_TRUE(folder.Logged("Load"));
  EXPECT_TRUE(folder.Logged("Unload"));
  EXPECT_FALSE(folder.Logged("Exit"));
}

TEST(GameDllTest, MissingLibraryGivesOne) {
  GameFolder folder(nullptr, "");
  GameDll dll;
  EXPECT_EQ(dll.LoadGameDll(nullptr), 1);
  EXPECT_FALSE(dll.IsLoaded());
  EXPECT_EQ(dll.LoadGameDllFrom(nullptr, nullptr), 1);
}

TEST(GameDllTest, UnloadWithNothingLoadedOnlyClearsRunning) {
  GameDll dll;
  dll.SetRunning(true);
  dll.UnloadGameDll();
  EXPECT_FALSE(dll.IsRunning());
  EXPECT_FALSE(dll.IsLoaded());
}

TEST(GameDllTest, ANewLoadEndsThePreviousGameFirst) {
  GameFolder folder("game", "");
  auto config = Config(kConfig);
  GameInitBlock block(*config, GetModuleHandleW(nullptr), nullptr, nullptr, L"");
  {
    GameDll dll;
    ASSERT_EQ(dll.LoadGameDll(block.Params()), 0);
    ASSERT_EQ(dll.LoadGameDll(block.Params()), 0);
    EXPECT_EQ(folder.Count("Init"), 2);
    EXPECT_EQ(folder.Count("Exit"), 1);
  }  // the destructor unloads too
  EXPECT_EQ(folder.Count("Exit"), 2);
}

TEST(GameInitBlockTest, NoServersGiveANullListAndRunPlaceChoosesTheFolder) {
  GameFolder folder(nullptr, "");
  auto empty = Config("<Config/>");
  GameInitBlock block(*empty, GetModuleHandleW(nullptr), nullptr, nullptr, L"");
  EXPECT_EQ(block.Params()->updateServers, nullptr);
  EXPECT_EQ(block.Params()->dataFolderKind, kRunPlaceCurrentDirectory);
  EXPECT_EQ(block.Params()->updateEnabled, 0);
  EXPECT_STREQ(block.Params()->productName, L"");
  std::wstring current(folder.Path().begin(), folder.Path().end() - 1);
  EXPECT_EQ(std::wstring(block.Params()->dataFolder), current);

  auto local = Config("<Config RunPlace=\"LocalAppData\"><Update ProductName=\"P\"/></Config>");
  GameInitBlock localBlock(*local, GetModuleHandleW(nullptr), nullptr, nullptr, L"");
  std::wstring localFolder = localBlock.Params()->dataFolder;
  EXPECT_EQ(localFolder.substr(localFolder.size() - 12), L"\\dorvgame\\P\\");
  EXPECT_EQ(localBlock.Params()->dataFolderKind, kRunPlaceLocalAppData);
  EXPECT_EQ(localBlock.Params()->maxPackageSize, 524288000u);
}

TEST(GameInitBlockTest, LongTextsAreCutToTheBufferSize) {
  std::string longName(2000, 'n');
  EXPECT_EQ(AnsiToBoundedWide(longName).size(), GameInitBlock::kTextUnits - 1);
  EXPECT_EQ(AnsiToBoundedWide("abc"), L"abc");
}

}  // namespace
