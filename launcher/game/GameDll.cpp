#include "GameDll.h"

const wchar_t* const GameDll::kLibraryName = L"game.dll";

GameDll::GameDll() = default;

GameDll::~GameDll() { UnloadGameDll(); }

int32_t GameDll::LoadGameDll(const GameInitParams* params) {
  return LoadGameDllFrom(kLibraryName, params);
}

int32_t GameDll::LoadGameDllFrom(const wchar_t* libraryName, const GameInitParams* params) {
  UnloadGameDll();
  if (!libraryName) return 1;
  module_ = LoadLibraryW(libraryName);
  if (!module_) return 1;
  ResolveGameEntryPoints(module_, &points_);
  if (!points_.init) {
    UnloadGameDll();
    return 1;
  }
  initCalled_ = true;
  return points_.init(params, &initPending_, &gameContext_);
}

void GameDll::UnloadGameDll() {
  if (points_.exit && initCalled_) points_.exit(gameContext_);
  points_ = GameEntryPoints();
  if (module_) FreeLibrary(module_);
  module_ = nullptr;
  running_ = 0;
  gameContext_ = nullptr;
  initCalled_ = false;
}
