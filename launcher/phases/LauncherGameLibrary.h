// The game library "game.dll" loaded by its bare name from the current
// folder: its entry points, its context and whether it runs.
#pragma once

#include <windows.h>

#include "GameLibrary.h"
#include "IGameLibrary.h"

class LauncherGameLibrary : public IGameLibrary {
 public:
  LauncherGameLibrary(HINSTANCE instance, HWND window, const wchar_t* libraryName = L"game.dll");
  ~LauncherGameLibrary() override;

  void SetInstance(HINSTANCE instance) { instance_ = instance; }
  void SetWindow(HWND window) { window_ = window; }
  int32_t Load(const GameStartInfo& info) override;
  bool InitPending() override { return initPending_ != 0; }
  bool HasDoInitStep() override { return points_.doInitStep != nullptr; }
  int32_t DoInitStep(int32_t* aborted, int32_t* succeeded, float* progress) override;
  bool IsRunning() override { return running_; }
  void SetRunning(bool running) override { running_ = running; }
  void Unload() override;

  // The run loop's calls; each does nothing when the game lacks it.
  void Run();
  void Activate();
  // A game without a window procedure still lets its window close.
  LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  HINSTANCE instance_;
  HWND window_;
  std::wstring libraryName_;
  HMODULE module_ = nullptr;
  GameEntryPoints points_{};
  void* context_ = nullptr;
  int32_t initPending_ = 0;
  bool running_ = false;
};
