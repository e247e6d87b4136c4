// Install and uninstall through the launcher's own configuration, string
// table, folders and run-state file, in the user's real folders of this
// Wine prefix; afterwards nothing the product wrote is left.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "ConfigMgr.h"
#include "InstallTestFiles.h"
#include "Installer.h"
#include "LauncherFolders.h"
#include "LauncherInstallEnvironment.h"
#include "RunState.h"
#include "TextConversion.h"
#include "Uninstaller.h"

using InstallTestFiles::Exists;
using InstallTestFiles::ReadRegistryText;
using InstallTestFiles::RegistryKeyExists;
using InstallTestFiles::WriteWholeFile;

namespace {

const char kConfig[] =
    "<Config RunPlace=\"LocalAppData\" CreateShortCutOnDeskTop=\"true\" "
    "CreateShortCutOnStartMenu=\"true\">"
    "<Update Enable=\"true\" ProductName=\"VelmorRoundTrip\" UpdaterFileName=\"velmor_rt.exe\"/>"
    "<Install Enable=\"true\">"
    "<Plugin Enable=\"true\" IEPluginFile=\"kvtplayer.ocx\" NPPluginFile=\"npkvtplayer.dll\"/>"
    "<FileShortCuts><ShortCut Enable=\"true\" File=\"velmor_rt.exe\" Param=\"\" "
    "CreateOnDeskTop=\"true\" CreateOnStartMenu=\"true\" ShortCutFileStringID=\"file_link\" "
    "ShortCutDescStringID=\"file_link_desc\"/></FileShortCuts>"
    "<InternetShortCuts><ShortCut Enable=\"true\" Url=\"http://game.invalid/\" "
    "IconFile=\"game.ico\" CreateOnDeskTop=\"true\" CreateOnStartMenu=\"true\" "
    "ShortCutFileStringID=\"web_link\" ShortCutDescStringID=\"web_link_desc\"/>"
    "</InternetShortCuts>"
    "<InstallSuccess ShowDialog=\"true\" RunExe=\"false\" OpenUrl=\"false\"/></Install>"
    "<Uninstall Enable=\"true\" ID=\"{VELMOR-ROUND-TRIP}\" Version=\"1.0.0.0\" "
    "UninstallPlugin=\"false\"><File Path=\"game.dll\"/><File Path=\"data.pak\"/>"
    "<File Path=\"data_*.pak\"/><File Path=\"*.log\"/><File Path=\"user_data/*.dat\"/>"
    "<File Path=\"removed_files/*.*\"/><File Path=\"runstate.cfg\"/></Uninstall></Config>";

const char kStrings[] =
    "<String><file_link>Velmor Round Trip.lnk</file_link>"
    "<file_link_desc>Plays the game</file_link_desc>"
    "<web_link>Velmor Round Trip Home.lnk</web_link><web_link_desc>Home</web_link_desc>"
    "<updater_short_cut>Velmor Round Trip Updater.lnk</updater_short_cut>"
    "<start_menu_dir_name>Velmor Round Trip</start_menu_dir_name>"
    "<product_display_name>Velmor Round Trip</product_display_name>"
    "<product_publisher>Velmor Publisher</product_publisher></String>";

const wchar_t kUninstallKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{VELMOR-ROUND-TRIP}";

// The launcher's environment with its program file a copy, so the running
// test program is not what the uninstaller removes, and no real interpreter.
class RoundTripEnvironment : public LauncherInstallEnvironment {
 public:
  RoundTripEnvironment(const ConfigMgr& config, RunState* runState, const std::wstring& launcher)
      : LauncherInstallEnvironment(GetModuleHandleW(nullptr), config, runState, nullptr),
        launcher_(launcher) {}
  std::wstring LauncherPath() override { return launcher_; }
  bool StartHidden(const std::wstring& file, const std::wstring& parameters,
                   HANDLE* process) override {
    *process = nullptr;
    return true;
  }

 private:
  std::wstring launcher_;
};

std::wstring ShellFolderPath(int csidl) {
  wchar_t path[MAX_PATH] = {0};
  SHGetSpecialFolderPathW(nullptr, path, csidl, TRUE);
  return std::wstring(path) + L"\\";
}

bool PluginRegistered(const wchar_t* file) {
  return ReadRegistryText(L"Software\\VelmorInstallTests", file, nullptr);
}

}  // namespace

TEST(LauncherRoundTrip, InstallThenUninstallLeavesNothingOfTheProduct) {
  ConfigMgr config;
  ASSERT_TRUE(config.LoadConfigText(kConfig, sizeof(kConfig) - 1));
  ASSERT_TRUE(config.LoadStringsText(kStrings, sizeof(kStrings) - 1));
  const std::wstring data = AnsiToWide(GetLocalDataFolder("VelmorRoundTrip"));
  const std::wstring low = AnsiToWide(GetLowIntegrityDataFolder("VelmorRoundTrip"));
  const std::wstring plugins = AnsiToWide(GetPluginFolder());
  ASSERT_FALSE(data.empty());
  const std::wstring desktop = ShellFolderPath(CSIDL_DESKTOPDIRECTORY);
  const std::wstring startMenu = ShellFolderPath(CSIDL_PROGRAMS) + L"Velmor Round Trip\\";
  InstallTestFiles::ScratchFolder download(L"roundtrip");
  const std::wstring launcher = download.Path() + L"velmor setup.exe";
  ASSERT_TRUE(WriteWholeFile(launcher, "the launcher"));
  RunState runState(WideToAnsi(data));
  RoundTripEnvironment env(config, &runState, launcher);

  Installer installer;
  installer.SetEnvironment(&env);
  installer.SetModule(GetModuleHandleW(nullptr));
  ASSERT_TRUE(installer.Install());
  EXPECT_TRUE(Exists(data + L"velmor_rt.exe"));
  EXPECT_TRUE(Exists(plugins + L"kvtplayer.ocx"));
  EXPECT_TRUE(PluginRegistered(L"kvtplayer.ocx"));
  EXPECT_TRUE(PluginRegistered(L"npkvtplayer.dll"));
  EXPECT_TRUE(Exists(desktop + L"Velmor Round Trip.lnk"));
  EXPECT_TRUE(Exists(startMenu + L"Velmor Round Trip Home.lnk"));
  std::wstring folder;
  EXPECT_TRUE(ReadRegistryText(L"software\\dorvgame\\path", L"VelmorRoundTrip", &folder));
  EXPECT_EQ(data, folder);
  std::wstring command;
  EXPECT_TRUE(ReadRegistryText(kUninstallKey, L"UninstallString", &command));
  EXPECT_EQ(L"\"" + data + L"velmor_rt.exe\" /uninstall", command);
  EXPECT_TRUE(Exists(data + L"runstate.cfg"));

  // What a normal run leaves: the launcher's own links, logs, packages.
  ASSERT_TRUE(WriteWholeFile(desktop + L"Velmor Round Trip Updater.lnk", "link"));
  ASSERT_TRUE(WriteWholeFile(data + L"gameupdater.log", "log"));
  ASSERT_TRUE(WriteWholeFile(data + L"data_1.pak", "pak"));
  CreateDirectoryW((data + L"user_data").c_str(), nullptr);
  ASSERT_TRUE(WriteWholeFile(data + L"user_data\\save.dat", "save"));
  ASSERT_TRUE(WriteWholeFile(plugins + L"kvtplayer.log", "log"));
  env.CreateFolderChain(low);
  ASSERT_TRUE(WriteWholeFile(low + L"data.pak", "pak"));

  Uninstaller uninstaller;
  uninstaller.SetEnvironment(&env);
  uninstaller.SetModule(GetModuleHandleW(nullptr));
  ASSERT_TRUE(uninstaller.Run(true, true));

  EXPECT_FALSE(ReadRegistryText(L"software\\dorvgame\\path", L"VelmorRoundTrip", nullptr));
  EXPECT_FALSE(RegistryKeyExists(kUninstallKey));
  EXPECT_FALSE(PluginRegistered(L"kvtplayer.ocx"));
  EXPECT_FALSE(PluginRegistered(L"npkvtplayer.dll"));
  for (const std::wstring& gone :
       {desktop + L"Velmor Round Trip.lnk", desktop + L"Velmor Round Trip Home.lnk",
        desktop + L"Velmor Round Trip Updater.lnk", startMenu, data, low, plugins, launcher})
    EXPECT_FALSE(Exists(gone)) << testing::PrintToString(gone);
}
