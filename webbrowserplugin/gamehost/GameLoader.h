// The game host both browser front ends embed: it chooses the product's data
// folder, creates and polls the product's file system, turns what it polls
// into page events, loads and drives "game.dll", and writes "kvtplayer.log".
// Everything but the log runs on the browser thread that owns the plug-in
// window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "FileSystem.h"
#include "GameLibrary.h"
#include "HostFlavour.h"
#include "ScriptValue.h"

class IGameHostOwner;

class GameLoader {
 public:
  explicit GameLoader(HostFlavour flavour);
  virtual ~GameLoader();

  // Ties the host to its owner and window. moduleHandle is the front end's
  // own library (handed to the game and used for its version).
  bool Init(IGameHostOwner* owner, HMODULE moduleHandle, HWND window);
  void Exit();

  bool SetProduct(const char* name, uint32_t maxUpdateThreadCount, uint32_t maxPackageSize,
                  uint32_t maxDeltaPackageSize);
  bool RunGame(const wchar_t* runParams);
  void Stop();

  // One tick of the plug-in window's timer. notInPlaceActive is the control's
  // state (ignored by the Netscape-API flavour, which always passes 0 on).
  void OnTimer(bool notInPlaceActive = false);
  // The game's answer to a window message, 0 when no game runs or it lacks
  // the entry point.
  LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Has the game paint into dc (the control while it is not in-place active).
  void DrawToDc(HDC dc, int32_t left, int32_t top, int32_t width, int32_t height);

  // A log line in "kvtplayer.log"; false when it was not written.
  bool Log(int level, const char* format, ...);

  // What the script methods read.
  FileSystem::IFileSystem* GetFileSystem() const { return fileSystem_; }
  bool IsGameRunning() const { return gameRunning_; }
  bool IsInitPending() const { return initPending_ != 0; }
  float GetInitProgress() const { return initProgress_; }
  int32_t GetLastUpdateState() const { return lastUpdateState_; }
  bool IsInitialized() const { return initialized_; }
  bool IsGameLoaded() const { return gameModule_ != nullptr; }
  HostFlavour GetFlavour() const { return flavour_; }
  HMODULE GetModuleHandle() const { return moduleHandle_; }
  HWND GetWindow() const { return window_; }
  IGameHostOwner* GetOwner() const { return owner_; }
  const std::string& GetProductName() const { return productName_; }
  const std::string& GetDataFolder() const { return dataFolder_; }
  uint32_t GetMaxUpdateThreadCount() const { return maxUpdateThreadCount_; }

  // Whether the game exports a window procedure and runs: messages the
  // routing forwards reach it only then.
  bool CanForwardToGame() const;

  // Test seam: the function that creates a product's file system (null
  // restores FileSystem::Create). Lets tests drive the tick with a scripted
  // file system.
  typedef FileSystem::IFileSystem* (*FileSystemFactory)(const FileSystemParams* params);
  static void SetFileSystemFactoryForTesting(FileSystemFactory factory);

  // The callbacks registered with the game.
  static void FireEventCallback(void* gameContext, const wchar_t* name, const wchar_t* param,
                                void* host);
  static void GameExitCallback(void* gameContext, const wchar_t* returnCode, void* host);

 private:
  class LogSystem : public FileSystem::ILogSystem {
   public:
    LogSystem() : loader_(nullptr) {}
    void Log(int level, const char* text) override;
    void SetLoader(GameLoader* loader);

   private:
    GameLoader* volatile loader_;
  };

  // What a page asked for from inside a game call, run when that call returns.
  struct DeferredCall {
    enum Kind { kStop, kSetProduct, kRunGame } kind;
    std::string name;
    uint32_t numbers[3];
    std::wstring runParams;
  };
  class GameCallScope;

  GameLoader(const GameLoader&) = delete;
  GameLoader& operator=(const GameLoader&) = delete;

  bool SetProductNow(const char* name, uint32_t threads, uint32_t maxPackage, uint32_t maxDelta);
  bool RunGameNow(const wchar_t* runParams);
  void StopNow();
  bool CreateFileSystem();
  void ReleaseFileSystem();
  bool LoadGameDll();
  void UnloadGameDll();
  bool ChooseDataFolder();
  bool UseLowFolder() const;
  void FillInitParams(GameInitParams* params, const wchar_t* runParams, wchar_t* product,
                      wchar_t* folder, UpdateServerNodeW* servers);
  void StepInit();
  void StartRunning();
  void PollFileSystem();
  void FireTakenOffList(int which);
  void Fire(int number, const ScriptValue* args, size_t count);
  void FireNone(int number);
  bool InGameCall() const { return gameCallDepth_ > 0; }
  void RunDeferredCalls();

  HostFlavour flavour_;
  std::string productName_;
  std::string dataFolder_;
  IGameHostOwner* owner_;
  LogSystem logSystem_;
  FileSystem::IFileSystem* fileSystem_;
  void* gameContext_;
  HMODULE moduleHandle_;
  HWND window_;
  HMODULE gameModule_;
  uint32_t maxUpdateThreadCount_;
  uint32_t maxPackageSize_;
  uint32_t maxDeltaPackageSize_;
  int32_t lastTaskCount_;
  float lastProgress_;
  float lastSpeed_;
  bool holdsLog_;
  GameEntryPoints game_;
  float initProgress_;
  int32_t initPending_;
  int32_t initSucceeded_;
  int32_t initAborted_;
  int32_t dataFolderKind_;
  int32_t lastUpdateState_;
  bool lowIntegrity_;
  bool gameRunning_;
  bool stopping_;
  bool stepping_;
  bool readyForUpdate_;
  bool initialized_;
  int gameCallDepth_;
  bool runningDeferred_;
  std::vector<DeferredCall> deferred_;
};

