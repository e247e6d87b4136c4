#include "ConfigLoaderSettings.h"

LoaderSettings LoaderSettingsFromConfig(const ConfigMgr& config) {
  LoaderSettings s;
  s.productName = config.productName;
  s.runPlace = config.runPlace;
  s.updaterFileName = config.updaterFileName;
  s.updateThreadCount = config.updateThreadCount;
  s.maxPackageSize = config.maxPackageSize;
  s.maxDeltaPackageSize = config.maxDeltaPackageSize;
  for (const UpdateServerEntry& server : config.updateServers) {
    // An entry that cannot be used is left out.
    if (server.host.empty() || server.port <= 0 || server.port > 65535) continue;
    s.updateServers.push_back({server.host, static_cast<uint32_t>(server.port)});
  }
  for (const UpdateFileEntry& file : config.updateFiles) s.updateFiles.push_back({file.path, file.systemDll});
  s.resourceGroups = config.resourceGroups;
  s.updateEnabled = config.updateEnable;
  s.loginEnabled = config.loginEnable;
  s.loginUrl = config.loginUrl;
  s.sendFirstRunParam = config.loginSendFirstRunParam;
  s.reloginEnabled = config.reloginEnable;
  s.reloginUrl = config.reloginUrl;
  s.statEnabled = config.statEnable;
  s.browserVisibleWhenReady = config.webBrowserVisibleWhenReady;
  s.browserShowWhenLoginSuccess = config.webBrowserShowWhenLoginSuccess;
  s.closeDisableWhenLoading = config.closeButtonDisableWhenLoading;
  return s;
}
