// The launcher window's phases: it brings the launcher and the game's
// resources up to date through the file system, waits for the login page to
// report the player logged in, loads the game and steps its initialisation,
// and then hands the window to the game. Everything but the log sink runs
// on the user-interface thread, one Tick at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "FileSystem.h"
#include "IGameLibrary.h"
#include "ILoaderLog.h"
#include "ILoaderReports.h"
#include "ILoaderSystem.h"
#include "ILoaderView.h"
#include "ILoginBrowser.h"
#include "LoaderSettings.h"
#include "LoaderState.h"

typedef FileSystem::IFileSystem*(FileSystemFactory)(const FileSystemParams* params);

// The loader's collaborators; none is owned. A null factory means
// FileSystem::Create.
struct LoaderPorts {
  const LoaderSettings* settings = nullptr;
  ILoaderView* view = nullptr;
  ILoginBrowser* browser = nullptr;
  ILoaderReports* reports = nullptr;
  IGameLibrary* game = nullptr;
  ILoaderSystem* system = nullptr;
  ILoaderLog* log = nullptr;
  FileSystemFactory* createFileSystem = nullptr;
};

// The area of the main window the login page takes.
struct BrowserArea {
  int left = 0, top = 0, width = 0, height = 0;
};

class GameLoader {
 public:
  // The file system's log sink: it writes into the launcher log, from any of
  // the file system's threads.
  class LogSystem : public FileSystem::ILogSystem {
   public:
    explicit LogSystem(GameLoader* owner) : owner_(owner) {}
    void Log(int level, const char* text) override;

   private:
    GameLoader* owner_;
  };

  GameLoader();
  virtual ~GameLoader();
  GameLoader(const GameLoader&) = delete;
  GameLoader& operator=(const GameLoader&) = delete;

  void Attach(const LoaderPorts& ports);
  void SetBrowserArea(const BrowserArea& area) { browserArea_ = area; }

  bool Init(const wchar_t* commandLine, bool relogin, bool firstRun);
  bool ShowLoader();
  void Tick();
  void DestroyUI();
  bool FinishLoading();
  bool ShowPleaseLogin();
  void PollLogin();
  bool GetRunParam(const wchar_t* name, std::wstring* value) const;
  bool SendDispatchReport(int32_t type);
  bool StartGame();
  void PollLoading();
  void ReleaseFileSystem();

  bool StartUpdate();
  void PollUpdate();
  void NewProgressSegment();
  bool RestartUpdater();

  int state() const { return state_; }
  bool loading() const { return loading_; }
  bool gameReady() const { return gameReady_; }
  bool loggedIn() const { return loggedIn_; }
  bool updateOk() const { return updateOk_; }
  bool selfUpdate() const { return selfUpdate_; }
  bool firstRun() const { return firstRun_; }
  float progress() const { return progress_; }
  float subProgress() const { return subProgress_; }
  const std::wstring& runParams() const { return runParams_; }
  const std::vector<std::string>& pendingFiles() const { return pendingFiles_; }
  const std::vector<std::string>& pendingGroups() const { return pendingGroups_; }
  FileSystem::IFileSystem* fileSystem() const { return fileSystem_; }
  FileSystem::ILogSystem* logSystem() { return &logSystem_; }

 private:
  void EnterFailed();
  void AfterUpdate();
  void SetMessage(const char* id, int value = 0);
  void SetProgress(float progress);
  void SetSubProgress(float progress);
  void ShowLoadingError(int32_t code);
  void SetCloseEnabled(bool enabled);
  void ShowUpdateStateMessage(int updateState);
  void QueueUpdates();
  void DecideOutcome();
  float ComputeProgress();
  void LookAtPending(size_t index);
  void ProgressStep();
  bool RunFolder(std::string* folder);
  void Log(int level, const std::string& text);

  LogSystem logSystem_;
  LoaderPorts ports_;
  BrowserArea browserArea_;
  std::vector<std::string> pendingFiles_;
  std::vector<std::string> pendingGroups_;
  // What each pending name (files, then groups) adds to the bar, as last
  // seen: a pass asks the file system about a few names only, in turn, and
  // never again about one that was ready. With thousands of names, asking
  // about each on every pass held the file system's locks against its own
  // workers.
  struct PendingShare {
    bool ready = false;
    double share = 0;
  };
  PendingShare ShareOf(const char* name, bool group);
  std::vector<PendingShare> pendingShares_;
  size_t pendingCursor_ = 0;
  std::string messageId_;
  int messageValue_ = 0;
  std::string moduleFolder_;
  std::wstring runParams_;
  uint32_t updateThreadCount_ = 5;
  float progress_ = 0;
  float subProgress_ = 0;
  float segmentStart_ = 0;
  float segmentEnd_ = 0;
  FileSystem::IFileSystem* fileSystem_ = nullptr;
  int state_ = kLoaderStart;
  bool loading_ = false;
  bool browserShown_ = false;
  bool updateOk_ = false;
  bool loggedIn_ = false;
  bool gameReady_ = false;
  bool selfUpdate_ = false;
  bool updatesQueued_ = false;
  bool updateFailureReported_ = false;
  bool relogin_ = false;
  bool mainSkin_ = false;
  bool firstRun_ = false;
};
