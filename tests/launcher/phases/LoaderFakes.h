// Recording stand-ins for the loader's collaborators: the window face, the
// login page, the reports, the game library and the machine.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "GameLoader.h"

namespace LoaderTests {

class FakeView : public ILoaderView {
 public:
  bool Prepare() override { return prepareOk; }
  void Show() override { shown = true; }
  void SetMessage(const char* id, int value) override { messages.emplace_back(id, value); }
  void SetProgress(float value) override { progress.push_back(value); }
  void SetSubProgress(float value) override { subProgress.push_back(value); }
  void SetCloseEnabled(bool enabled) override { closeEnabled = enabled; }
  void SwitchToMainSkin() override { mainSkin = true; }
  void InvalidateAll() override { ++invalidations; }
  void EndLayered() override { layeredEnded = true; }
  void DestroyUI() override {}

  std::string LastMessage() const { return messages.empty() ? "" : messages.back().first; }
  int Count(const std::string& id) const {
    int n = 0;
    for (const auto& message : messages) n += message.first == id;
    return n;
  }

  bool prepareOk = true;
  bool shown = false;
  bool closeEnabled = false;
  bool mainSkin = false;
  bool layeredEnded = false;
  int invalidations = 0;
  std::vector<std::pair<std::string, int>> messages;
  std::vector<float> progress;
  std::vector<float> subProgress;
};

// The login page: its script answers with the scripted text from the given
// call on.
class FakeBrowser : public ILoginBrowser {
 public:
  bool Create(int, int, int, int) override { exists = true; return true; }
  void Destroy() override { exists = false; ++destroyed; }
  bool Exists() override { return exists; }
  void Navigate(const std::wstring& url) override { navigated.push_back(url); }
  bool IsReady() override { return true; }
  std::wstring CallScript(const wchar_t* name) override {
    ++calls;
    lastFunction = name;
    return calls >= answerFromCall ? answer : std::wstring();
  }
  bool IsHostVisible() override { return hostVisible; }
  void ShowHost(bool show) override { hostVisible = show; }

  bool exists = false;
  bool hostVisible = false;
  int destroyed = 0;
  int calls = 0;
  int answerFromCall = 1;
  std::wstring answer;
  std::wstring lastFunction;
  std::vector<std::wstring> navigated;
};

class FakeReports : public ILoaderReports {
 public:
  bool ReportStat(const char* name, int type) override {
    stats.emplace_back(name, type);
    return true;
  }
  void Post(const std::string& url, const std::string& body) override { posts.emplace_back(url, body); }
  int CountPosts(const std::string& body) const {
    int n = 0;
    for (const auto& post : posts) n += post.second == body;
    return n;
  }
  bool HasStat(const std::string& name) const {
    for (const auto& stat : stats)
      if (stat.first == name) return true;
    return false;
  }
  std::vector<std::pair<std::string, int>> stats;
  std::vector<std::pair<std::string, std::string>> posts;
};

// A game whose init and steps follow a script.
struct GameScript {
  int32_t loadCode = 0;
  bool initPending = true;
  bool hasDoInitStep = true;
  int stepsUntilDone = 2;   // the step that reports success, counted from 1
  int32_t stepError = 0;    // returned by the first step when non-zero
  bool abortAtEnd = false;  // the last step reports abort
  bool succeedAtAbort = false;
};

class FakeGame : public IGameLibrary {
 public:
  explicit FakeGame(const GameScript& script = GameScript()) : script(script) {}
  int32_t Load(const GameStartInfo& info) override {
    ++loads;
    started = info;
    loaded = script.loadCode == 0;
    return script.loadCode;
  }
  bool InitPending() override { return script.initPending; }
  bool HasDoInitStep() override { return script.hasDoInitStep; }
  int32_t DoInitStep(int32_t* aborted, int32_t* succeeded, float* progress) override {
    ++steps;
    if (steps == 1 && script.stepError != 0) return script.stepError;
    *aborted = 0;
    *succeeded = 0;
    *progress = static_cast<float>(steps) / script.stepsUntilDone;
    if (steps >= script.stepsUntilDone) {
      if (script.abortAtEnd) {
        *aborted = 1;
        *succeeded = script.succeedAtAbort ? 1 : 0;
      } else {
        *succeeded = 1;
      }
    }
    return 0;
  }
  bool IsRunning() override { return running; }
  void SetRunning(bool value) override { running = value; }
  void Unload() override {
    if (loaded) ++unloads;
    loaded = false;
    running = false;
  }

  GameScript script;
  GameStartInfo started;
  int loads = 0;
  int steps = 0;
  int unloads = 0;
  bool loaded = false;
  bool running = false;
};

class FakeSystem : public ILoaderSystem {
 public:
  bool GetLocalDataFolder(std::string* folder) override { *folder = dataFolder; return !dataFolder.empty(); }
  bool GetLowIntegrityDataFolder(std::string* folder) override { *folder = dataFolder; return !dataFolder.empty(); }
  bool GetModuleFolder(std::string* folder) override { *folder = moduleFolder; return !moduleFolder.empty(); }
  std::string GetModulePath() override { return modulePath; }
  std::string GetInstallFolder(const std::string&) override { return installFolder; }
  bool FileExists(const std::string& path) override {
    for (const std::string& file : existing)
      if (file == path) return true;
    return false;
  }
  bool CanLoadSystemLibrary(const std::string& name) override {
    for (const std::string& library : systemLibraries)
      if (library == name) return true;
    return false;
  }
  bool SetCurrentFolder(const std::string& folder) override { currentFolder = folder; return true; }
  void StartProgram(const std::string& path, const std::wstring& commandLine) override {
    started.emplace_back(path, commandLine);
  }
  void CloseMainWindow() override { ++closes; }

  std::string dataFolder = "C:\\data\\";
  std::string moduleFolder = "C:\\program\\";
  std::string modulePath = "C:\\program\\velmor.exe";
  std::string installFolder;
  std::string currentFolder;
  std::vector<std::string> existing;
  std::vector<std::string> systemLibraries;
  std::vector<std::pair<std::string, std::wstring>> started;
  int closes = 0;
};

class RecordingLog : public ILoaderLog {
 public:
  void Write(int level, const char* text) override { lines.emplace_back(level, text); }
  std::vector<std::pair<int, std::string>> lines;
};

// The loader wired to one set of fakes.
struct LoaderRig {
  LoaderRig() {
    settings.productName = "velmorproduct";
    settings.statEnabled = true;
    settings.loginUrl = "http://127.0.0.1/login";
  }
  void Wire(FileSystemFactory* factory = nullptr) {
    LoaderPorts ports;
    ports.settings = &settings;
    ports.view = &view;
    ports.browser = &browser;
    ports.reports = &reports;
    ports.game = &game;
    ports.system = &system;
    ports.log = &log;
    ports.createFileSystem = factory;
    loader.Attach(ports);
  }
  // Ticks until the condition holds or the passes run out.
  template <typename Condition>
  bool TickUntil(Condition condition, int passes = 100) {
    for (int i = 0; i < passes && !condition(); ++i) loader.Tick();
    return condition();
  }

  LoaderSettings settings;
  FakeView view;
  FakeBrowser browser;
  FakeReports reports;
  FakeGame game;
  FakeSystem system;
  RecordingLog log;
  GameLoader loader;
};

}  // namespace LoaderTests
