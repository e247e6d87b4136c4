// The game library as the loading phase and the run loop drive it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "LoaderSettings.h"

// What the game is started with; the library turns it into its init block.
struct GameStartInfo {
  std::wstring productName;
  std::wstring runParams;
  std::wstring dataFolder;
  uint32_t updateThreadCount = 0;
  uint32_t maxPackageSize = 0;
  uint32_t maxDeltaPackageSize = 0;
  std::vector<LoaderUpdateServer> updateServers;
  int runPlace = 0;
  bool updateEnabled = false;
};

class IGameLibrary {
 public:
  virtual ~IGameLibrary() {}
  // Loads and initialises the game; 0 on success, else the game's code
  // (or 1 when the library cannot be loaded or lacks its init).
  virtual int32_t Load(const GameStartInfo& info) = 0;
  virtual bool InitPending() = 0;
  virtual bool HasDoInitStep() = 0;
  virtual int32_t DoInitStep(int32_t* aborted, int32_t* succeeded, float* progress) = 0;
  virtual bool IsRunning() = 0;
  virtual void SetRunning(bool running) = 0;
  // Calls the game's exit and frees the library; nothing when none is loaded.
  virtual void Unload() = 0;
};
