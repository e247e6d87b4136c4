// GameLoader against the sample game variants and a scripted file system.
#include <windows.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Administrator.h"
#include "GameHostTestSupport.h"
#include "Registry.h"
#include "TextConversion.h"
#include <shlobj.h>
#include "GameLoader.h"
#include "HostText.h"
#include "ScriptedFileSystem.h"

using namespace GameHostTest;

namespace {

class GameLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UsePrivateLogFolder();
    files.Install();
    product = UniqueProduct("gl");
    folder = ProductFolder(product);
    RemoveFolder(folder);
  }

  void TearDown() override {
    loader.reset();
    ScriptedFileSystem::Uninstall();
    RemoveFolder(folder);
  }

  void Start(HostFlavour flavour = HostFlavour::Netscape) {
    loader.reset(new GameLoader(flavour));
    ASSERT_TRUE(loader->Init(&owner, GetModuleHandleW(nullptr), nullptr));
  }

  bool NameProduct(uint32_t threads = 5) {
    return loader->SetProduct(product.c_str(), threads, 524288000, 104857600);
  }

  // Names the product, installs the variant and runs it.
  bool RunVariant(const std::string& variant, const std::string& ini,
                  const wchar_t* params = L"") {
    EXPECT_TRUE(NameProduct());
    EXPECT_TRUE(InstallSampleGame(folder, variant, ini));
    return loader->RunGame(params);
  }

  ScriptedFileSystem files;
  RecordingOwner owner;
  std::unique_ptr<GameLoader> loader;
  std::string product;
  std::string folder;
};

typedef std::vector<std::string> Events;

TEST_F(GameLoaderTest, PassesEveryInitParameterToTheGame) {
  Start();
  ASSERT_TRUE(loader->SetProduct(product.c_str(), 7, 1000, 2000));
  ASSERT_TRUE(InstallSampleGame(folder, "game", ""));
  ASSERT_TRUE(loader->RunGame(L"Login=success;Account=\u00e9"));
  EXPECT_EQ(Events({"OnRunGameSuccess"}), owner.events);
  EXPECT_TRUE(loader->IsGameRunning());
  EXPECT_EQ(product, SampleParam(folder, "productName"));
  EXPECT_EQ("7", SampleParam(folder, "maxUpdateThreadCount"));
  EXPECT_EQ("1000", SampleParam(folder, "maxPackageSize"));
  EXPECT_EQ("2000", SampleParam(folder, "maxDeltaPackageSize"));
  std::string servers;
  for (int i = 0; i < 11; ++i) {
    servers += std::string(i ? "," : "") + "127.0.0.1:" + (i < 6 ? "9009" : "80");
  }
  EXPECT_EQ(servers, SampleParam(folder, "updateServers"));
  EXPECT_EQ("Login=success;Account=\xc3\xa9", SampleParam(folder, "runParams"));
  EXPECT_EQ(folder, SampleParam(folder, "dataFolder"));
  EXPECT_EQ("", SampleParam(folder, "hostModulePath"));
  EXPECT_EQ("2", SampleParam(folder, "dataFolderKind"));
  EXPECT_EQ("1", SampleParam(folder, "hostFlag1"));
  EXPECT_EQ("0", SampleParam(folder, "hostFlag2"));
  EXPECT_EQ("1", SampleParam(folder, "updateEnabled"));
  EXPECT_EQ("1", SampleParam(folder, "publishVersion"));
  EXPECT_TRUE(files.released) << "the file system goes before the game starts";
  EXPECT_EQ(nullptr, loader->GetFileSystem());
}

TEST_F(GameLoaderTest, ControlFlavourSetsHostFlag2AndPassesTheActivateFlag) {
  Start(HostFlavour::InternetExplorer);
  ASSERT_TRUE(RunVariant("game", ""));
  EXPECT_EQ("1", SampleParam(folder, "hostFlag2"));
  loader->OnTimer(true);
  loader->OnTimer(false);
  EXPECT_TRUE(SampleLogHas(folder, "Activate flag=1"));
  EXPECT_TRUE(SampleLogHas(folder, "Activate flag=0"));
}

TEST_F(GameLoaderTest, PluginFlavourAlwaysActivatesWithZero) {
  Start();
  ASSERT_TRUE(RunVariant("game", ""));
  loader->OnTimer(true);
  EXPECT_TRUE(SampleLogHas(folder, "Activate flag=0"));
  EXPECT_FALSE(SampleLogHas(folder, "Activate flag=1"));
}

TEST(InitTextTest, LongTextsAreCutTo1023Units) {
  EXPECT_EQ(1023u, CutToInitText(std::wstring(2000, L'x')).size());
  EXPECT_EQ(1023u, CutToInitText(std::wstring(1024, L'x')).size());
  EXPECT_EQ(1023u, CutToInitText(std::wstring(1023, L'x')).size());
  EXPECT_EQ(5u, CutToInitText(L"short").size());
}

TEST_F(GameLoaderTest, InitFailureReportsTheGamesCodeAndUnloads) {
  Start();
  EXPECT_FALSE(RunVariant("game", "init_result=42\n"));
  EXPECT_EQ(Events({"OnRunGameFailed(42)"}), owner.events);
  EXPECT_FALSE(loader->IsGameLoaded());
  EXPECT_TRUE(SampleLogHas(folder, "Unload"));
  EXPECT_NE(std::string::npos, PluginLogText().find("<ERR>: int game failed 42."));
}

TEST_F(GameLoaderTest, PendingInitWithoutStepEntryFailsWithCode1) {
  Start();
  EXPECT_FALSE(RunVariant("game_nostep", "init_pending=1\n"));
  EXPECT_EQ(Events({"OnRunGameFailed(1)"}), owner.events);
  EXPECT_FALSE(loader->IsGameLoaded());
}

TEST_F(GameLoaderTest, LibraryWithoutInitIsUnloadedAndFailsWithoutEvent) {
  Start();
  EXPECT_FALSE(RunVariant("game_noinit", ""));
  EXPECT_TRUE(owner.events.empty());
  EXPECT_FALSE(loader->IsGameLoaded());
  EXPECT_TRUE(SampleLogHas(folder, "Unload"));
  EXPECT_NE(std::string::npos, PluginLogText().find("load game dll failed " + folder + "."));
}

TEST_F(GameLoaderTest, InitOnlyLibraryRunsAndTicksDoNothing) {
  Start();
  ASSERT_TRUE(RunVariant("game_initonly", ""));
  EXPECT_TRUE(loader->IsGameRunning());
  loader->OnTimer();
  EXPECT_EQ(0, loader->WindowProc(nullptr, WM_KEYDOWN, 'A', 0));
  EXPECT_EQ(Events({"OnRunGameSuccess"}), owner.events);
}

struct StepCase {
  const char* name;
  const char* ini;
  int ticks;
  std::vector<std::string> events;
  bool running;
};

void PrintTo(const StepCase& c, std::ostream* out) { *out << c.name; }

class StepTest : public GameLoaderTest, public ::testing::WithParamInterface<StepCase> {};

TEST_P(StepTest, StepsEndAsScripted) {
  const StepCase& c = GetParam();
  Start();
  ASSERT_TRUE(RunVariant("game", std::string("init_pending=1\n") + c.ini));
  EXPECT_TRUE(loader->IsInitPending());
  for (int i = 0; i < c.ticks; ++i) loader->OnTimer();
  EXPECT_EQ(c.events, owner.events);
  EXPECT_EQ(c.running, loader->IsGameRunning());
  EXPECT_EQ(c.running, loader->IsGameLoaded());
  EXPECT_FALSE(loader->IsInitPending());
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, StepTest,
    ::testing::Values(
        StepCase{"ErrorWithSucceededRuns", "step.1=0,0,0,0.5\nstep.2=7,1,0,1\n", 2,
                 {"OnLoadingGameProgressChanged(0.5)", "OnLoadingGameProgressChanged(1)",
                  "OnRunGameSuccess"},
                 true},
        StepCase{"AbortWithoutCodeFailsWithZero", "step.1=0,0,1,0\n", 1,
                 {"OnRunGameFailed(0)"}, false},
        StepCase{"ErrorFailsWithItsCode", "step.1=9,0,0,0.25\n", 1,
                 {"OnLoadingGameProgressChanged(0.25)", "OnRunGameFailed(9)"}, false},
        StepCase{"UnchangedProgressFiresNothing", "step.1=0,0,0,0\nstep.2=0,1,0,0\n", 2,
                 {"OnRunGameSuccess"}, true}),
    [](const ::testing::TestParamInfo<StepCase>& info) { return std::string(info.param.name); });

TEST_F(GameLoaderTest, StopCallsExitAndUnloadsTheLibrary) {
  Start();
  ASSERT_TRUE(RunVariant("game", ""));
  loader->Stop();
  EXPECT_FALSE(loader->IsGameRunning());
  EXPECT_FALSE(loader->IsGameLoaded());
  std::vector<std::string> log = SampleLog(folder);
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ("Exit", log[log.size() - 2]);
  EXPECT_EQ("Unload", log.back());
}

struct CallbackCase {
  const char* name;
  const char* ini;
  std::vector<std::string> events;
};

void PrintTo(const CallbackCase& c, std::ostream* out) { *out << c.name; }

class CallbackTest : public GameLoaderTest, public ::testing::WithParamInterface<CallbackCase> {};

TEST_P(CallbackTest, OnlyCallbacksWithTheCurrentContextReachThePage) {
  Start();
  ASSERT_TRUE(RunVariant("game", GetParam().ini));
  owner.events.clear();
  loader->OnTimer();
  EXPECT_EQ(GetParam().events, owner.events);
}

INSTANTIATE_TEST_SUITE_P(
    Contexts, CallbackTest,
    ::testing::Values(
        CallbackCase{"Right", "activate_fire=Ev|Par\nactivate_exit=Code7\n",
                     {"OnGameEvent(Ev,Par)", "OnGameExit(Code7)"}},
        CallbackCase{"Wrong", "activate_fire=Ev|Par\nactivate_exit=C\nactivate_context=wrong\n",
                     {}},
        CallbackCase{"Zero", "activate_fire=Ev|Par\nactivate_exit=C\nactivate_context=zero\n", {}},
        CallbackCase{"NullHost", "activate_fire=Ev|Par\nactivate_exit=C\nactivate_host=null\n",
                     {}}),
    [](const ::testing::TestParamInfo<CallbackCase>& info) {
      return std::string(info.param.name);
    });

TEST_F(GameLoaderTest, StopFromAGameEventWaitsUntilTheGameReturns) {
  Start();
  ASSERT_TRUE(RunVariant("game", "activate_fire=Quit|now\n"));
  bool loadedInsideEvent = false;
  owner.listener = [&](const std::string& name) {
    if (name != "OnGameEvent") return;
    loader->Stop();
    loadedInsideEvent = loader->IsGameLoaded();
  };
  loader->OnTimer();
  EXPECT_TRUE(loadedInsideEvent) << "the library stays while its code is on the stack";
  EXPECT_FALSE(loader->IsGameLoaded());
  EXPECT_FALSE(loader->IsGameRunning());
  EXPECT_EQ("Unload", SampleLog(folder).back());
}

TEST_F(GameLoaderTest, SetProductFromGameExitRunsAfterTheGameReturns) {
  Start();
  ASSERT_TRUE(RunVariant("game", "activate_exit=bye\n"));
  std::string other = product + "_next";
  bool stillRunningInside = false;
  owner.listener = [&](const std::string& name) {
    if (name != "OnGameExit") return;
    EXPECT_TRUE(loader->SetProduct(other.c_str(), 5, 1, 1));
    stillRunningInside = loader->IsGameRunning();
  };
  loader->OnTimer();
  EXPECT_TRUE(stillRunningInside);
  EXPECT_FALSE(loader->IsGameLoaded());
  EXPECT_EQ(other, loader->GetProductName());
  EXPECT_NE(nullptr, loader->GetFileSystem());
}

TEST_F(GameLoaderTest, RunGameFromAWindowMessageEventIsDeferred) {
  Start();
  ASSERT_TRUE(RunVariant("game", "windowproc_fire_on=1025\nwindowproc_result=5\nactivate_fire=Again|now\nactivate_times=0\n"));
  int runs = 0;
  owner.listener = [&](const std::string& name) {
    if (name == "OnGameEvent") {
      EXPECT_TRUE(loader->RunGame(L"again"));
    }
    if (name == "OnRunGameSuccess") ++runs;
  };
  EXPECT_EQ(5, loader->WindowProc(nullptr, WM_USER + 1, 0, 0));
  EXPECT_EQ(1, runs) << "the game started again after the message returned";
  EXPECT_TRUE(loader->IsGameRunning());
}

TEST_F(GameLoaderTest, RunGameWithoutProductLoadsNothingFromTheSearchPath) {
  std::string programFolder = ProgramFolder();
  char current[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, current);
  ASSERT_TRUE(InstallSampleGame(programFolder, "game", ""));
  ASSERT_TRUE(SetCurrentDirectoryA(programFolder.c_str()));
  Start();
  EXPECT_FALSE(loader->RunGame(L"x"));
  SetCurrentDirectoryA(current);
  EXPECT_TRUE(owner.events.empty());
  EXPECT_FALSE(loader->IsGameLoaded());
  EXPECT_FALSE(SampleLogHas(programFolder, "Load"));
  EXPECT_NE(std::string::npos, PluginLogText().find("<ERR>: load game dll failed ."));
  DeleteFileA((programFolder + "game.dll").c_str());
}

TEST_F(GameLoaderTest, AfterSetProductTheProductsGameRuns) {
  std::string programFolder = ProgramFolder();
  ASSERT_TRUE(InstallSampleGame(programFolder, "game", ""));
  Start();
  ASSERT_TRUE(RunVariant("game", ""));
  EXPECT_TRUE(SampleLogHas(folder, "Init"));
  EXPECT_FALSE(SampleLogHas(programFolder, "Load"));
  loader->Stop();
  DeleteFileA((programFolder + "game.dll").c_str());
}

TEST_F(GameLoaderTest, RefusesProductNamesThatAreNoPlainFolderName) {
  Start();
  ASSERT_TRUE(NameProduct());
  const char* bad[] = {"", "a\\b", "a/b", "c:x", "a\x01z", "..", "..\\..\\Downloads", "x..y",
                       "tab\there"};
  for (const char* name : bad) {
    EXPECT_FALSE(loader->SetProduct(name, 5, 1, 1)) << name;
    EXPECT_EQ(product, loader->GetProductName()) << name;
    EXPECT_FALSE(files.released) << "the old product stays: " << name;
  }
  EXPECT_FALSE(loader->SetProduct(nullptr, 5, 1, 1));
}

TEST_F(GameLoaderTest, TheSameProductTwiceChangesNothing) {
  Start();
  ASSERT_TRUE(NameProduct());
  FileSystem::IFileSystem* first = loader->GetFileSystem();
  ASSERT_TRUE(NameProduct(9));
  EXPECT_EQ(first, loader->GetFileSystem());
  EXPECT_FALSE(files.released);
  EXPECT_EQ(5u, loader->GetMaxUpdateThreadCount());
}

TEST_F(GameLoaderTest, ThreadCountIsHeldWithinOneTo64) {
  Start();
  ASSERT_TRUE(NameProduct(0xFFFFFFFFu));
  EXPECT_EQ(64u, loader->GetMaxUpdateThreadCount());
  EXPECT_EQ(64u, files.params.updateThreadCount);
  loader->Stop();
  ASSERT_TRUE(loader->SetProduct((product + "b").c_str(), 0, 1, 1));
  EXPECT_EQ(1u, loader->GetMaxUpdateThreadCount());
  RemoveFolder(ProductFolder(product + "b"));
}

TEST_F(GameLoaderTest, FileSystemGetsTheBuiltInParameters) {
  Start();
  ASSERT_TRUE(NameProduct());
  EXPECT_EQ(60u, files.params.size);
  EXPECT_EQ(1u, files.params.version);
  EXPECT_EQ(product, files.productName);
  EXPECT_EQ(folder, files.dataFolder);
  EXPECT_EQ("data.pak", files.packagePath);
  ASSERT_EQ(11u, files.serverHosts.size());
  for (size_t i = 0; i < 11; ++i) {
    EXPECT_EQ("127.0.0.1", files.serverHosts[i]);
    EXPECT_EQ(i < 6 ? 9009u : 80u, files.serverPorts[i]);
  }
  EXPECT_STREQ("default", files.params.updateGroups->name);
  EXPECT_EQ(1, files.params.updateGroups->fifo);
  EXPECT_EQ(5242880u, files.params.downloadBufferStep);
  EXPECT_EQ(1, files.params.updateMode);
  EXPECT_EQ(0, files.params.reserveFirstDownloader);
  EXPECT_EQ(0, files.params.idleUpdateEnabled);
  EXPECT_EQ(1, files.params.skipHeadRequest);
}

TEST_F(GameLoaderTest, InstallFolderFromTheRegistryNamesTheExtraPackage) {
  std::wstring key = L"software\\dorvgame\\path";
  std::wstring value = AnsiToWide(product);
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, key.c_str(), value.c_str(), L"C:\\Games\\Velmor"));
  Start();
  ASSERT_TRUE(NameProduct());
  EXPECT_EQ("C:\\Games\\Velmor\\data.pak", files.packagePath);
  HKEY path = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_SET_VALUE, &path));
  RegDeleteValueW(path, value.c_str());
  RegCloseKey(path);
}

TEST_F(GameLoaderTest, ControlOfANonAdministratorUsesTheLowFolder) {
  SetAdministratorAnswerForTesting(0);
  Start(HostFlavour::InternetExplorer);
  ASSERT_TRUE(NameProduct());
  char cache[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, cache, CSIDL_INTERNET_CACHE, TRUE);
  std::string low = std::string(cache) + "\\Low\\dorvgame\\" + product + "\\";
  EXPECT_EQ(low, loader->GetDataFolder());
  ASSERT_TRUE(InstallSampleGame(low, "game", ""));
  ASSERT_TRUE(loader->RunGame(L""));
  EXPECT_EQ("1", SampleParam(low, "dataFolderKind"));
  loader.reset();
  RemoveFolder(low);
  SetAdministratorAnswerForTesting(-1);
}

TEST_F(GameLoaderTest, PluginKeepsTheLocalFolderForANonAdministrator) {
  SetAdministratorAnswerForTesting(0);
  Start(HostFlavour::Netscape);
  ASSERT_TRUE(NameProduct());
  EXPECT_EQ(folder, loader->GetDataFolder());
  SetAdministratorAnswerForTesting(-1);
}

TEST_F(GameLoaderTest, TickReportsStateAndReadinessFirst) {
  Start();
  ASSERT_TRUE(NameProduct());
  files.updateState = 5;
  files.ready = true;
  files.taskCount = 3;
  files.lists[0] = "a;b;";
  loader->OnTimer();
  EXPECT_EQ(Events({"OnUpdateStateChanged(ReadyForUpdate)", "OnReadyForUpdate"}), owner.events);
  owner.events.clear();
  loader->OnTimer();
  EXPECT_EQ(Events({"OnUpdateTaskCountChanged(3)", "OnUpdateFileSuccess(a)",
                    "OnUpdateFileSuccess(b)"}),
            owner.events);
}

TEST_F(GameLoaderTest, TickReportsInTheOrderOfTheEventTable) {
  Start();
  ASSERT_TRUE(NameProduct(3));
  files.updateState = 5;
  files.ready = true;
  loader->OnTimer();
  owner.events.clear();
  files.updateState = 6;
  files.taskCount = 2;
  files.workers[0] = WorkerInfo{"x", 4, 1, 1.0f};
  files.workers[2] = WorkerInfo{"y", 4, 2, 0.5f};
  files.workers[3] = WorkerInfo{"beyond", 4, 4, 9.0f};  // past the thread count
  files.lists[0] = "f1";
  files.lists[1] = "f2";
  files.lists[2] = "g1";
  files.lists[3] = "g2";
  loader->OnTimer();
  EXPECT_EQ(Events({"OnUpdateStateChanged(Error)", "OnUpdateTaskCountChanged(2)",
                    "OnUpdateProgressChanged(0.5)", "OnUpdateSpeedChanged(1.5)",
                    "OnUpdateFileSuccess(f1)", "OnUpdateFileFailed(f2)",
                    "OnUpdateResourceGroupSuccess(g1)", "OnUpdateResourceGroupFailed(g2)"}),
            owner.events);
  EXPECT_EQ(3, files.getUpdateInfoCalls);
}

TEST_F(GameLoaderTest, EmptyPiecesOfATakenOffListLoseNoName) {
  Start();
  ASSERT_TRUE(NameProduct());
  files.ready = true;
  loader->OnTimer();
  owner.events.clear();
  files.lists[0] = ";a;;b;";
  loader->OnTimer();
  EXPECT_EQ(Events({"OnUpdateFileSuccess(a)", "OnUpdateFileSuccess(b)"}), owner.events);
}

TEST_F(GameLoaderTest, ReadyFiresOncePerProduct) {
  Start();
  ASSERT_TRUE(NameProduct());
  files.ready = true;
  loader->OnTimer();
  loader->OnTimer();
  loader->OnTimer();
  int ready = 0;
  for (const std::string& event : owner.events) ready += event == "OnReadyForUpdate";
  EXPECT_EQ(1, ready);
}

TEST_F(GameLoaderTest, ListenerThatEndsTheProductMidTickStopsTheTick) {
  Start();
  ASSERT_TRUE(NameProduct());
  files.ready = true;
  loader->OnTimer();
  owner.events.clear();
  files.taskCount = 1;
  files.lists[0] = "a";
  owner.listener = [&](const std::string& name) {
    if (name == "OnUpdateTaskCountChanged") loader->RunGame(L"");
  };
  loader->OnTimer();
  EXPECT_EQ(Events({"OnUpdateTaskCountChanged(1)"}), owner.events);
  EXPECT_EQ(nullptr, loader->GetFileSystem());
}

TEST_F(GameLoaderTest, LogKeepsLinesOfUpTo4092Characters) {
  Start();
  EXPECT_TRUE(loader->Log(0, "%s", std::string(4092, 'q').c_str()));
  EXPECT_FALSE(loader->Log(0, "%s", std::string(4093, 'r').c_str()));
  EXPECT_FALSE(loader->Log(3, "no such level"));
  std::string text = PluginLogText();
  EXPECT_NE(std::string::npos, text.find(std::string(4092, 'q') + "\r\n"));
  EXPECT_EQ(std::string::npos, text.find(std::string(4093, 'r')));
}

TEST_F(GameLoaderTest, TwoHostsShareOneLogFile) {
  Start();
  GameLoader second(HostFlavour::Netscape);
  RecordingOwner otherOwner;
  ASSERT_TRUE(second.Init(&otherOwner, nullptr, nullptr));
  loader->Log(0, "first host %s", product.c_str());
  second.Log(1, "second host %s", product.c_str());
  second.Exit();
  loader->Log(2, "after exit %s", product.c_str());
  std::string text = PluginLogText();
  EXPECT_NE(std::string::npos, text.find("<INF>: first host " + product + "\r\n"));
  EXPECT_NE(std::string::npos, text.find("<WAR>: second host " + product + "\r\n"));
  EXPECT_NE(std::string::npos, text.find("<ERR>: after exit " + product + "\r\n"));
}

TEST_F(GameLoaderTest, ExitStopsTheGameAndReleasesTheFileSystem) {
  Start();
  ASSERT_TRUE(NameProduct());
  loader->Exit();
  EXPECT_TRUE(files.released);
  EXPECT_FALSE(loader->IsInitialized());
  std::string text = PluginLogText();
  EXPECT_NE(std::string::npos, text.find("Exit file system."));
  EXPECT_NE(std::string::npos, text.find("Exit game loader success."));
}

}  // namespace
