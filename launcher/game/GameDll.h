// The launcher's loader of the game library "game.dll": loads it by its
// bare name (the platform's search finds it in the launcher's folder or the
// current folder), resolves its ten entry points, runs its initialisation
// and unloads it again. One library at a time; every load starts with an
// unload. Used from the UI thread only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "GameLibrary.h"

class GameDll {
 public:
  static const wchar_t* const kLibraryName;  // "game.dll"

  GameDll();
  virtual ~GameDll();

  // Unloads what is loaded, loads "game.dll" and calls its initialisation
  // with params. 0 on success; 1 when the library cannot be loaded or has no
  // initialisation entry point; else the game's own code, with the library
  // left loaded until the next unload.
  int32_t LoadGameDll(const GameInitParams* params);
  // The same with another library name or path.
  int32_t LoadGameDllFrom(const wchar_t* libraryName, const GameInitParams* params);

  // Calls the game's exit entry point when its initialisation ran, frees the
  // library and clears the entry points, running and the game context.
  void UnloadGameDll();

  bool IsLoaded() const { return module_ != nullptr; }
  HMODULE GetModule() const { return module_; }
  const GameEntryPoints& GetEntryPoints() const { return points_; }
  void* GetGameContext() const { return gameContext_; }
  // Not 0 when the game asked for initialisation steps.
  int32_t GetInitPending() const { return initPending_; }
  bool IsRunning() const { return running_ != 0; }
  void SetRunning(bool running) { running_ = running ? 1 : 0; }

 private:
  GameDll(const GameDll&) = delete;
  GameDll& operator=(const GameDll&) = delete;

  HMODULE module_ = nullptr;
  GameEntryPoints points_ = {};
  void* gameContext_ = nullptr;
  int32_t initPending_ = 0;
  int32_t running_ = 0;
  // The game's exit entry point is only for a game whose initialisation
  // ran: a library without one, or one never initialised, has nothing to
  // end and may not expect the call.
  bool initCalled_ = false;
};

extern GameDll g_gameDll;
