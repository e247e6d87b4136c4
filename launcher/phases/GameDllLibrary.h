// The phases' game library over the launcher's GameDll: the start values
// become the game's init block, and the run loop's calls go to the game's
// entry points while it runs.
#pragma once

#include <windows.h>

#include "GameDll.h"
#include "GameRunLoop.h"
#include "IGameLibrary.h"

class GameDllLibrary : public IGameLibrary, public IGameRunTarget {
 public:
  explicit GameDllLibrary(GameDll* game) : game_(game) {}
  void SetWindow(HINSTANCE instance, HWND window) {
    instance_ = instance;
    window_ = window;
  }
  // Another library than "game.dll" (tests); empty: "game.dll".
  void SetLibraryName(const std::wstring& name) { libraryName_ = name; }

  int32_t Load(const GameStartInfo& info) override;
  bool InitPending() override { return game_->GetInitPending() != 0; }
  bool HasDoInitStep() override { return game_->GetEntryPoints().doInitStep != nullptr; }
  int32_t DoInitStep(int32_t* aborted, int32_t* succeeded, float* progress) override;
  bool IsRunning() override { return game_->IsRunning(); }
  void SetRunning(bool running) override { game_->SetRunning(running); }
  void Unload() override { game_->UnloadGameDll(); }

  void Run();
  void Activate() override;
  // A game without a window procedure gets the default one, and its window
  // ends the run loop when it is destroyed.
  LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  GameDll* game_;
  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  std::wstring libraryName_;
};
