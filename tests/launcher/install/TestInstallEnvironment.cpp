#include "TestInstallEnvironment.h"

TestInstallEnvironment::TestInstallEnvironment(const std::wstring& rootIn,
                                               const InstallSettings& settings,
                                               const std::map<std::string, std::wstring>& strings)
    : SystemInstallEnvironment(GetModuleHandleW(nullptr), settings, strings),
      root(rootIn),
      dorvgame(rootIn + L"local\\dorvgame\\"),
      desktop(rootIn + L"desktop"),
      programs(rootIn + L"programs\\"),
      launcher(rootIn + L"download\\my launcher.exe") {
  CreateFolderChain(desktop);
  CreateFolderChain(programs);
  CreateFolderChain(rootIn + L"download\\");
}

// As the real folders: below "dorvgame" and the product's name, which an
// empty name would leave as the folder every product shares.
std::wstring TestInstallEnvironment::LocalDataFolder() {
  return dorvgame + Settings().productName + (Settings().productName.empty() ? L"" : L"\\");
}

std::wstring TestInstallEnvironment::LowIntegrityDataFolder() {
  return root + L"cache\\Low\\dorvgame\\" + Settings().productName +
         (Settings().productName.empty() ? L"" : L"\\");
}

std::wstring TestInstallEnvironment::PluginFolder() { return dorvgame + L"kvtplayer\\"; }

bool TestInstallEnvironment::TestAndSetRunState(const char* name) {
  return !runStates.insert(name).second;
}

void TestInstallEnvironment::ReportOneTimeEvent(const char* name, int type) {
  reports.emplace_back(name, type);
}

bool TestInstallEnvironment::StartHidden(const std::wstring& file, const std::wstring& parameters,
                                         HANDLE* process) {
  started.push_back(file + L" " + parameters);
  *process = nullptr;
  if (!reallyStart) return true;
  // The real start, without the priorities the uninstaller gives a process
  // that is about to end.
  return SystemInstallEnvironment::StartHidden(file, parameters, nullptr);
}

void TestInstallEnvironment::ShellOpen(const std::wstring& file, const std::wstring& parameters) {
  opened.push_back(file + L"|" + parameters);
}

InstallSettings SampleSettings() {
  InstallSettings s;
  s.productName = L"VelmorTestProduct";
  s.updaterFileName = L"velmor_test.exe";
  s.createShortCutOnDeskTop = true;
  s.createShortCutOnStartMenu = true;
  s.pluginEnable = true;
  s.iePluginFile = L"kvtplayer.ocx";
  s.npPluginFile = L"npkvtplayer.dll";
  InstallShortcut file;
  file.target = L"velmor_test.exe";
  file.second = L"-play";
  file.fileStringId = "file_short_cut_2";
  file.descStringId = "file_short_cut_2_desc";
  file.createOnDeskTop = true;
  file.createOnStartMenu = true;
  file.enable = true;
  s.fileLinks.push_back(file);
  InstallShortcut disabled = file;
  disabled.fileStringId = "disabled_link";
  disabled.enable = false;
  s.fileLinks.push_back(disabled);
  InstallShortcut web;
  web.target = L"http://game.invalid/home";
  web.second = L"game.ico";
  web.fileStringId = "internet_short_cut_1";
  web.descStringId = "internet_short_cut_1_desc";
  web.createOnDeskTop = true;
  web.createOnStartMenu = true;
  web.enable = true;
  s.internetLinks.push_back(web);
  s.runFile = L"velmor_test.exe";
  s.runParam = L"-first";
  s.url = L"http://game.invalid/welcome";
  s.uninstallEnable = true;
  s.uninstallId = L"{6C1D2E7A-0000-4B87-8F64-VELMORTEST}";
  s.uninstallVersion = L"1.0.0.0";
  s.uninstallPatterns = {
      L"game.dll", L"D3DCompiler_42.dll", L"D3DX9_42.dll",      L"data.pak",   L"data_*.pak",
      L"*.log",    L"user_data/*.dat",    L"removed_files/*.*", L"engine.cfg", L"runstate.cfg"};
  return s;
}

std::map<std::string, std::wstring> SampleStrings() {
  return {
      {"file_short_cut_2", L"Play Velmor Test.lnk"},
      {"file_short_cut_2_desc", L"Starts the game"},
      {"disabled_link", L"Never.lnk"},
      {"internet_short_cut_1", L"Velmor Test Home.lnk"},
      {"internet_short_cut_1_desc", L"The game's page"},
      {"updater_short_cut", L"Velmor Test Updater.lnk"},
      {"start_menu_dir_name", L"Velmor Test"},
      {"product_display_name", L"Velmor Test Product"},
      {"product_publisher", L"Velmor Test Publisher"},
      {"make_sure_uninstall_title", L"Velmor test: remove?"},
      {"make_sure_uninstall_desc", L"Remove the game?"},
      {"make_sure_uninstall_plugin", L"Also the browser plug-ins"},
      {"make_sure_uninstall_ok", L"Remove"},
      {"make_sure_uninstall_cancel", L"Keep"},
      {"uninstall_plugin_warnning", L"Pages will no longer play the game."},
      {"uninstall_plugin_warnning_title", L"Velmor test: plug-ins"},
      {"uninstall_success_title", L"Velmor test: removed"},
      {"uninstall_success_desc", L"The game is gone."},
      {"uninstall_success_ok", L"Close"},
  };
}
