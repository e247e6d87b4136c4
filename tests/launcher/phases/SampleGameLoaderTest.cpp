// The loader's phases with the launcher's real pieces: the sample game
// library in its variants, and dispatch reports through the report client to
// a loopback sink.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "../system_http/ReportSink.h"
#include "GameDll.h"
#include "GameDllLibrary.h"
#include "HttpClient.h"
#include "LoaderFakes.h"
#include "RunState.h"
#include "StatLoaderReports.h"
#include "StatReporter.h"

namespace LoaderTests {
namespace {

std::string ModuleFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string text = path;
  return text.substr(0, text.find_last_of('\\') + 1);
}

// A private copy of one sample game variant with its setting file.
class SampleGameFolder {
 public:
  SampleGameFolder(const char* variant, const std::string& settings) {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    static int counter = 0;
    folder_ = std::string(base) + "velmorgame" + std::to_string(GetCurrentProcessId()) + "_" +
              std::to_string(++counter) + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
    library_ = folder_ + variant + ".dll";
    CopyFileA((ModuleFolder() + "samplegames\\" + variant + ".dll").c_str(), library_.c_str(), FALSE);
    std::ofstream(folder_ + "samplegame.ini") << settings;
  }
  ~SampleGameFolder() {
    DeleteFileA(library_.c_str());
    DeleteFileA((folder_ + "samplegame.ini").c_str());
    DeleteFileA((folder_ + "samplegame.log").c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  std::wstring Library() const { return std::wstring(library_.begin(), library_.end()); }
  std::string Log() const {
    std::ifstream in(folder_ + "samplegame.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::string folder_;
  std::string library_;
};

// The loader over the real game library loader, other pieces faked.
struct GameRig {
  explicit GameRig(const SampleGameFolder& folder) : library(&dll) {
    library.SetLibraryName(folder.Library());
    settings.productName = "velmorsample";
    settings.updateEnabled = false;
    settings.loginEnabled = false;
    LoaderPorts ports;
    ports.settings = &settings;
    ports.view = &view;
    ports.browser = &browser;
    ports.reports = &reports;
    ports.game = &library;
    ports.system = &system;
    ports.log = &log;
    loader.Attach(ports);
  }
  void Walk() {
    ASSERT_TRUE(loader.Init(L"", false, false));
    loader.ShowLoader();
    for (int i = 0; i < 20 && loader.loading(); ++i) loader.Tick();
  }
  LoaderSettings settings;
  FakeView view;
  FakeBrowser browser;
  FakeReports reports;
  FakeSystem system;
  RecordingLog log;
  GameDll dll;
  GameDllLibrary library;
  GameLoader loader;
};

struct SampleCase {
  const char* name;
  const char* variant;
  const char* settings;
  int state;
  bool ready;
  bool loaded;
  const char* message;
  int value;
};

class SampleGameTest : public testing::TestWithParam<SampleCase> {};

TEST_P(SampleGameTest, LoadingEndsAsTheGameSays) {
  const SampleCase& c = GetParam();
  SampleGameFolder folder(c.variant, c.settings);
  {
    GameRig rig(folder);
    rig.Walk();
    EXPECT_EQ(c.state, rig.loader.state());
    EXPECT_EQ(c.ready, rig.loader.gameReady());
    EXPECT_EQ(c.ready, rig.dll.IsRunning());
    EXPECT_EQ(c.loaded, rig.dll.IsLoaded());
    EXPECT_EQ(c.message, rig.view.LastMessage());
    if (!rig.view.messages.empty()) {
      EXPECT_EQ(c.value, rig.view.messages.back().second);
    }
    rig.dll.UnloadGameDll();
  }
  std::string log = folder.Log();
  EXPECT_NE(std::string::npos, log.find("Init")) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Variants, SampleGameTest,
    testing::Values(
        SampleCase{"NoSteps", "game", "", kLoaderLoadingGame, true, true, "loading_game", 0},
        SampleCase{"Steps", "game", "init_pending=1\nstep.1=0,0,0,0.5\n", kLoaderLoadingGame, true,
                   true, "loading_game", 0},
        SampleCase{"InitError", "game", "init_result=7\n", kLoaderFailed, false, false,
                   "loading_game_error", 7},
        SampleCase{"StepErrorThenSuccess", "game", "init_pending=1\nstep.1=5,0,0,0.1\n",
                   kLoaderLoadingGame, true, true, "loading_game_error", 5},
        SampleCase{"AbortedAfterSuccess", "game", "init_pending=1\nstep.1=0,1,1,0.5\n",
                   kLoaderFailed, false, false, "loading_game_error", 1},
        SampleCase{"NoDoInitStep", "game_nostep", "init_pending=1\n", kLoaderFailed, false, false,
                   "loading_game_error", 1},
        SampleCase{"InitOnly", "game_initonly", "", kLoaderLoadingGame, true, true, "loading_game",
                   0}),
    [](const testing::TestParamInfo<SampleCase>& info) { return std::string(info.param.name); });

TEST(SampleGameAbortTest, AnAbortedGameIsExitedAndFreed) {
  SampleGameFolder folder("game", "init_pending=1\nstep.1=0,1,1,0.5\n");
  {
    GameRig rig(folder);
    rig.Walk();
    EXPECT_FALSE(rig.dll.IsRunning());
  }
  std::string log = folder.Log();
  EXPECT_NE(std::string::npos, log.find("Exit")) << log;
  EXPECT_NE(std::string::npos, log.find("Unload")) << log;
}

LRESULT CALLBACK ForwardToGame(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  GameDllLibrary* library =
      reinterpret_cast<GameDllLibrary*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (library == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  return library->WindowProc(window, message, wParam, lParam);
}

TEST(SampleGameWindowTest, GameWithoutWindowProcLetsItsWindowCloseAndEndsTheLoop) {
  SampleGameFolder folder("game_initonly", "");
  GameRig rig(folder);
  rig.Walk();
  ASSERT_TRUE(rig.dll.IsRunning());
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ForwardToGame;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"VelmorGameWindowTest";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowW(L"VelmorGameWindowTest", L"game", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                              100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(nullptr, window);
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&rig.library));
  SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window));
  MSG message;
  bool quit = false;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) quit = quit || message.message == WM_QUIT;
  EXPECT_TRUE(quit);
  UnregisterClassW(L"VelmorGameWindowTest", GetModuleHandleW(nullptr));
}

TEST(DispatchSinkTest, PhaseReportsReachTheGameServerOnceEach) {
  TestFixtures::ReportSink sink;
  ASSERT_TRUE(sink.Ok());
  std::string url = sink.Url("/");
  std::string address = url.substr(7, url.find('/', 7) - 7);  // host:port

  SampleGameFolder folder("game", "init_pending=1\nstep.1=0,1,0,1\n");
  char base[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, base);
  std::string stateFolder = std::string(base) + "velmorstate" + std::to_string(GetCurrentProcessId());
  HttpClient client;
  ASSERT_TRUE(client.Start());
  RunState runState(stateFolder);
  StatReporter stats(&runState, &client);
  StatLoaderReports reports(&stats, &client);
  {
    GameRig rig(folder);
    rig.settings.loginEnabled = true;
    rig.settings.loginUrl = "http://127.0.0.1/login";
    rig.settings.statEnabled = true;
    rig.settings.browserShowWhenLoginSuccess = true;
    rig.browser.answer = L"Login=success;ServerAddress=" + std::wstring(address.begin(), address.end()) +
                         L";Account=p1;ServerIndex=9";
    rig.browser.answerFromCall = 2;
    LoaderPorts ports;
    ports.settings = &rig.settings;
    ports.view = &rig.view;
    ports.browser = &rig.browser;
    ports.reports = &reports;
    ports.game = &rig.library;
    ports.system = &rig.system;
    ports.log = &rig.log;
    rig.loader.Attach(ports);
    rig.Walk();
    EXPECT_TRUE(rig.loader.gameReady());
    for (int i = 0; i < 10; ++i) rig.loader.Tick();
    rig.dll.UnloadGameDll();
  }
  ASSERT_TRUE(sink.WaitForCount(3, 10000));
  client.Stop();
  std::vector<TestFixtures::SinkRequest> requests = sink.Requests();
  ASSERT_EQ(3u, requests.size());
  const char* bodies[] = {"ac=p1&in=9&type=80", "ac=p1&in=9&type=81", "ac=p1&in=9&type=82"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ("POST", requests[i].method);
    EXPECT_EQ("/velmor/secret/dispatch", requests[i].path);
    EXPECT_EQ(bodies[i], requests[i].body);
  }
  DeleteFileA(runState.Path().c_str());
  RemoveDirectoryA(stateFolder.c_str());
}

}  // namespace
}  // namespace LoaderTests
