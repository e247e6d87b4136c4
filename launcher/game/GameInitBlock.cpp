#include "GameInitBlock.h"

#include "CodePageConversion.h"
#include "ConfigMgr.h"
#include "LauncherFolders.h"

namespace {

std::wstring Bounded(std::wstring text) {
  if (text.size() > GameInitBlock::kTextUnits - 1) text.resize(GameInitBlock::kTextUnits - 1);
  return text;
}

std::string CurrentDirectory() {
  char buffer[1024] = {};
  DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
  if (length == 0 || length >= sizeof buffer) return std::string();
  return buffer;
}

}  // namespace

std::wstring AnsiToBoundedWide(const std::string& text) {
  std::wstring wide;
  ToWideString(text, CP_ACP, &wide);
  return Bounded(wide);
}

std::string GameDataFolder(const ConfigMgr& config) {
  switch (config.runPlace) {
    case kRunPlaceLocalAppData: return GetLocalDataFolder(config.productName);
    case kRunPlaceInternetCache: return GetLowIntegrityDataFolder(config.productName);
    default: return CurrentDirectory();
  }
}

GameInitBlock::GameInitBlock(const ConfigMgr& config, HINSTANCE moduleHandle, HWND window,
                             void* host, const std::wstring& runParams)
    : productName_(AnsiToBoundedWide(config.productName)),
      runParams_(runParams),
      dataFolder_(AnsiToBoundedWide(GameDataFolder(config))) {
  wchar_t modulePath[kTextUnits] = {};
  GetModuleFileNameW(moduleHandle, modulePath, DWORD(kTextUnits));
  modulePath[kTextUnits - 1] = 0;
  hostModulePath_ = modulePath;

  for (int32_t i = 0; i < config.GetUpdateServerCount(); ++i) {
    const char* host = nullptr;
    int32_t port = 0;
    if (!config.GetUpdateServer(i, &host, &port) || !host) continue;
    hosts_.push_back(AnsiToBoundedWide(host));
    servers_.push_back(UpdateServerNodeW{nullptr, uint32_t(port), nullptr});
  }
  // Link the nodes only now: the vectors no longer move.
  for (size_t i = 0; i < servers_.size(); ++i) {
    servers_[i].host = hosts_[i].c_str();
    servers_[i].next = i + 1 < servers_.size() ? &servers_[i + 1] : nullptr;
  }

  params_.moduleHandle = moduleHandle;
  params_.window = window;
  params_.host = host;
  params_.productName = productName_.c_str();
  params_.maxUpdateThreadCount = config.updateThreadCount;
  params_.maxPackageSize = config.maxPackageSize;
  params_.maxDeltaPackageSize = config.maxDeltaPackageSize;
  params_.updateServers = servers_.empty() ? nullptr : servers_.data();
  params_.runParams = runParams_.c_str();
  params_.dataFolder = dataFolder_.c_str();
  params_.hostModulePath = hostModulePath_.c_str();
  params_.dataFolderKind = config.runPlace;
  params_.hostFlag1 = 0;
  params_.hostFlag2 = 0;
  params_.updateEnabled = config.updateEnable ? 1 : 0;
  params_.publishVersion = config.publishVersion ? 1 : 0;
}
