// The GameInitParams block that the launcher hands to the game's
// initialisation, filled from the configuration, together with the UTF-16
// texts and the update-server list it points to. The block is valid as long
// as this object lives; build it on the stack right before LoadGameDll.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "GameLibrary.h"

class ConfigMgr;

class GameInitBlock {
 public:
  // Text buffers of the block hold at most this many units, the last one
  // always the terminator.
  static const size_t kTextUnits = 1024;

  // host is handed back by the game's callbacks; runParams is the command
  // line or the login text. The data folder follows the configuration's
  // RunPlace (GameDataFolder).
  GameInitBlock(const ConfigMgr& config, HINSTANCE moduleHandle, HWND window, void* host,
                const std::wstring& runParams);

  const GameInitParams* Params() const { return &params_; }

 private:
  GameInitBlock(const GameInitBlock&) = delete;
  GameInitBlock& operator=(const GameInitBlock&) = delete;

  GameInitParams params_ = {};
  std::wstring productName_;
  std::wstring runParams_;
  std::wstring dataFolder_;
  std::wstring hostModulePath_;
  std::vector<std::wstring> hosts_;
  std::vector<UpdateServerNodeW> servers_;
};

// The folder the game is told to keep its data in, by RunPlace: the local
// data folder (0), the low-integrity data folder (1), or the current
// directory as the process sees it, without a separator added (2). ANSI.
std::string GameDataFolder(const ConfigMgr& config);

// text (ANSI) as UTF-16, cut to kTextUnits - 1 units.
std::wstring AnsiToBoundedWide(const std::string& text);
