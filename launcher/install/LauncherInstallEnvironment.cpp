#include "LauncherInstallEnvironment.h"

#include "AjpgBitmap.h"
#include "ConfigMgr.h"
#include "RunState.h"
#include "StatReporter.h"
#include "TextConversion.h"

namespace {

std::vector<InstallShortcut> Links(const std::list<ShortcutRecord>& records) {
  std::vector<InstallShortcut> links;
  for (const ShortcutRecord& record : records) {
    InstallShortcut link;
    link.target = Utf8ToWide(record.target);
    link.second = Utf8ToWide(record.second);
    link.fileStringId = record.fileStringId;
    link.descStringId = record.descStringId;
    link.createOnDeskTop = record.createOnDeskTop;
    link.createOnStartMenu = record.createOnStartMenu;
    link.enable = record.enable;
    links.push_back(link);
  }
  return links;
}

}  // namespace

InstallSettings InstallSettingsFromConfig(const ConfigMgr& config) {
  InstallSettings s;
  s.productName = Utf8ToWide(config.productName);
  s.updaterFileName = Utf8ToWide(config.updaterFileName);
  s.createShortCutOnDeskTop = config.createShortCutOnDeskTop;
  s.createShortCutOnStartMenu = config.createShortCutOnStartMenu;
  s.pluginEnable = config.pluginEnable;
  s.iePluginFile = Utf8ToWide(config.iePluginFile);
  s.npPluginFile = Utf8ToWide(config.npPluginFile);
  s.fileLinks = Links(config.fileShortcuts);
  s.internetLinks = Links(config.internetShortcuts);
  s.runExe = config.installSuccessRunExe;
  s.runFile = Utf8ToWide(config.installSuccessFile);
  s.runParam = Utf8ToWide(config.installSuccessParam);
  s.openUrl = config.installSuccessOpenUrl;
  s.url = Utf8ToWide(config.installSuccessUrl);
  s.uninstallEnable = config.uninstallEnable;
  s.uninstallId = Utf8ToWide(config.uninstallId);
  s.uninstallVersion = Utf8ToWide(config.uninstallVersion);
  s.uninstallPlugin = config.uninstallPlugin;
  s.uninstallPatterns.assign(config.uninstallPatterns.begin(), config.uninstallPatterns.end());
  return s;
}

LauncherInstallEnvironment::LauncherInstallEnvironment(HINSTANCE module, const ConfigMgr& config,
                                                       RunState* runState, StatReporter* reporter)
    : SystemInstallEnvironment(module, InstallSettingsFromConfig(config),
                               std::map<std::string, std::wstring>()),
      config_(config),
      runState_(runState),
      reporter_(reporter) {}

std::wstring LauncherInstallEnvironment::GetString(const char* id) {
  std::wstring text;
  if (id == nullptr || !config_.GetString(id, &text)) return std::wstring();
  return text;
}

bool LauncherInstallEnvironment::TestAndSetRunState(const char* name) {
  return runState_ != nullptr && runState_->TestAndSet(name);
}

void LauncherInstallEnvironment::ReportOneTimeEvent(const char* name, int type) {
  if (reporter_ != nullptr) reporter_->ReportStat(name, type);
}

HBITMAP LauncherInstallEnvironment::LoadBanner() {
  return LoadAjpgBitmapById(module_, kBannerResource, nullptr);
}
