#include "GameDllLibrary.h"

#include <string>
#include <vector>

#include "TextConversion.h"

int32_t GameDllLibrary::Load(const GameStartInfo& info) {
  std::vector<std::wstring> hosts;
  for (const LoaderUpdateServer& server : info.updateServers) hosts.push_back(AnsiToWide(server.host));
  std::vector<UpdateServerNodeW> nodes(hosts.size());
  for (size_t i = 0; i < hosts.size(); ++i) {
    nodes[i].host = hosts[i].c_str();
    nodes[i].port = info.updateServers[i].port;
    nodes[i].next = i + 1 < nodes.size() ? &nodes[i + 1] : nullptr;
  }
  wchar_t modulePath[2048] = {};
  GetModuleFileNameW(instance_, modulePath, 2047);

  GameInitParams params{};
  params.moduleHandle = instance_;
  params.window = window_;
  params.host = this;
  params.productName = info.productName.c_str();
  params.maxUpdateThreadCount = info.updateThreadCount;
  params.maxPackageSize = info.maxPackageSize;
  params.maxDeltaPackageSize = info.maxDeltaPackageSize;
  params.updateServers = nodes.empty() ? nullptr : &nodes[0];
  params.runParams = info.runParams.c_str();
  params.dataFolder = info.dataFolder.c_str();
  params.hostModulePath = modulePath;
  params.dataFolderKind = info.runPlace;
  params.updateEnabled = info.updateEnabled ? 1 : 0;
  if (!libraryName_.empty()) return game_->LoadGameDllFrom(libraryName_.c_str(), &params);
  return game_->LoadGameDll(&params);
}

int32_t GameDllLibrary::DoInitStep(int32_t* aborted, int32_t* succeeded, float* progress) {
  GameDoInitStepFunction* step = game_->GetEntryPoints().doInitStep;
  if (step == nullptr) return 1;
  return step(game_->GetGameContext(), aborted, succeeded, progress);
}

void GameDllLibrary::Run() {
  if (game_->IsRunning() && game_->GetEntryPoints().run != nullptr)
    game_->GetEntryPoints().run(game_->GetGameContext());
}

void GameDllLibrary::Activate() {
  if (game_->IsRunning() && game_->GetEntryPoints().activate != nullptr)
    game_->GetEntryPoints().activate(game_->GetGameContext(), 0);
}

LRESULT GameDllLibrary::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  GameWindowProcFunction* proc = game_->GetEntryPoints().windowProc;
  if (proc != nullptr) return proc(game_->GetGameContext(), window, message, wParam, lParam);
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, wParam, lParam);
}
