// velmor.exe as its own process: exit codes of its start-up paths, and a
// game run whose window is closed.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string TestFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string text = path;
  return text.substr(0, text.find_last_of('\\') + 1);
}

class RunFolder {
 public:
  explicit RunFolder(const std::string& settings) {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    static int counter = 0;
    folder_ = std::string(base) + "velmorrun" + std::to_string(GetCurrentProcessId()) + "_" +
              std::to_string(++counter) + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
    Copy("velmor.exe", "velmor.exe");
    Copy("samplegames\\game_initonly.dll", "game.dll");
    if (!settings.empty()) std::ofstream(folder_ + "velmor.cfg") << settings;
  }
  ~RunFolder() {
    for (const char* name : {"velmor.exe", "game.dll", "velmor.cfg", "gameupdater.log",
                             "runstate.cfg", "samplegame.log"})
      DeleteFileA((folder_ + name).c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  const std::string& Path() const { return folder_; }
  std::string Read(const char* name) const {
    std::ifstream in(folder_ + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  void Copy(const std::string& from, const char* to) {
    CopyFileA((TestFolder() + from).c_str(), (folder_ + to).c_str(), FALSE);
  }
  std::string folder_;
};

class Child {
 public:
  Child(const RunFolder& folder, const std::string& arguments) {
    std::string line = "\"" + folder.Path() + "velmor.exe\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    ok_ = CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                         folder.Path().c_str(), &startup, &info_) != 0;
  }
  ~Child() {
    if (!ok_) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 99);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  bool Ok() const { return ok_; }
  // The exit code, or -2 when the process did not end in time.
  long ExitCode(DWORD timeoutMs) {
    if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -2;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return static_cast<long>(code);
  }
  HWND WaitForWindow(DWORD timeoutMs) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(20)) {
      found_ = nullptr;
      EnumWindows(&Child::Visit, reinterpret_cast<LPARAM>(this));
      if (found_ != nullptr) return found_;
      if (WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
  }

 private:
  static BOOL CALLBACK Visit(HWND window, LPARAM self) {
    Child* child = reinterpret_cast<Child*>(self);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 63);
    if (process == child->info_.dwProcessId && std::wstring(name) == L"VelMorClient") {
      child->found_ = window;
      return FALSE;
    }
    return TRUE;
  }
  PROCESS_INFORMATION info_{};
  bool ok_ = false;
  HWND found_ = nullptr;
};

const char kNoUpdateNoLogin[] =
    "ProductName=velmorprocess\nRunPlace=2\nUpdateEnable=false\nLoginEnable=false\n";

struct ExitCase {
  const char* name;
  const char* settings;
  const char* arguments;
  long code;
};

class LauncherExitTest : public testing::TestWithParam<ExitCase> {};

TEST_P(LauncherExitTest, EndsWithItsCode) {
  const ExitCase& c = GetParam();
  RunFolder folder(c.settings);
  Child child(folder, c.arguments);
  ASSERT_TRUE(child.Ok());
  EXPECT_EQ(c.code, child.ExitCode(30000));
}

INSTANTIATE_TEST_SUITE_P(
    StartUpPaths, LauncherExitTest,
    testing::Values(ExitCase{"BrokenConfiguration", "ProductName=x\nNoSuchSetting=1\n", "", 0},
                    ExitCase{"SilentInstallEnds", kNoUpdateNoLogin, "/install", 0},
                    ExitCase{"InstallBeatsCheckInstall", kNoUpdateNoLogin, "/install/checkinstall", 0}),
    [](const testing::TestParamInfo<ExitCase>& info) { return std::string(info.param.name); });

// Runs the sample game through the launcher and closes its window; the
// run state the launcher left behind.
std::string RunGameAndClose(const char* arguments) {
  RunFolder folder(kNoUpdateNoLogin);
  Child child(folder, arguments);
  EXPECT_TRUE(child.Ok());
  HWND window = child.WaitForWindow(30000);
  EXPECT_NE(nullptr, window);
  if (window == nullptr) return std::string();
  // The game runs once the log has ended.
  for (int i = 0; i < 3000 && folder.Read("gameupdater.log").find("Exit log manager.") == std::string::npos; ++i)
    Sleep(10);
  EXPECT_NE(std::string::npos, folder.Read("gameupdater.log").find("Exit log manager."));
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(0, child.ExitCode(30000));
  return folder.Read("runstate.cfg");
}

TEST(LauncherProcessTest, GameWithoutWindowProcClosesAndTheLauncherEnds) {
  RunGameAndClose("\"C:/some path/uninstall\"");
}

// The links themselves are the shell-link tests' business; here: a normal
// run makes them (and records that it did), the switch keeps them away.
TEST(LauncherProcessTest, NormalRunMakesTheLauncherLinksUnlessTold) {
  EXPECT_NE(std::string::npos, RunGameAndClose("").find("[CreateShortCuts]=true;"));
  std::string state = RunGameAndClose("/nofileshortcuts");
  EXPECT_NE(std::string::npos, state.find("[RunClient]=true;"));
  EXPECT_EQ(std::string::npos, state.find("CreateShortCuts"));
}

}  // namespace
