#include "InstallSettingsFromConfig.h"

#include "TextConversion.h"

namespace {

InstallShortcut ToShortcut(const ShortcutRecord& record) {
  InstallShortcut link;
  link.target = Utf8ToWide(record.target);
  link.second = Utf8ToWide(record.second);
  link.fileStringId = record.fileStringId;
  link.descStringId = record.descStringId;
  link.createOnDeskTop = record.createOnDeskTop;
  link.createOnStartMenu = record.createOnStartMenu;
  link.enable = record.enable;
  return link;
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
  for (const ShortcutRecord& record : config.fileShortcuts) s.fileLinks.push_back(ToShortcut(record));
  for (const ShortcutRecord& record : config.internetShortcuts)
    s.internetLinks.push_back(ToShortcut(record));
  s.runExe = config.installSuccessRunExe;
  s.runFile = Utf8ToWide(config.installSuccessFile);
  s.runParam = Utf8ToWide(config.installSuccessParam);
  s.openUrl = config.installSuccessOpenUrl;
  s.url = Utf8ToWide(config.installSuccessUrl);
  s.uninstallEnable = config.uninstallEnable;
  s.uninstallId = Utf8ToWide(config.uninstallId);
  s.uninstallVersion = Utf8ToWide(config.uninstallVersion);
  s.uninstallPlugin = config.uninstallPlugin;
  for (const std::wstring& pattern : config.uninstallPatterns) s.uninstallPatterns.push_back(pattern);
  return s;
}

std::map<std::string, std::wstring> InstallStringsFromConfig(const ConfigMgr& config) {
  std::map<std::string, std::wstring> strings;
  for (const auto& entry : config.messageMap) strings[entry.first] = Utf8ToWide(entry.second.text);
  return strings;
}
