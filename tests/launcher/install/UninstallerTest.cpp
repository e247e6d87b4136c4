#include <gtest/gtest.h>

#include "DialogDriver.h"
#include "InstallFixture.h"
#include "Uninstaller.h"

using InstallTestFiles::Exists;
using InstallTestFiles::HeldFile;
using InstallTestFiles::ReadRegistryText;
using InstallTestFiles::RegistryKeyExists;
using InstallTestFiles::WriteWholeFile;

namespace {

// The files scheduled for the next restart, as the system records them.
std::wstring PendingRenames() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0,
                    KEY_READ, &key) != ERROR_SUCCESS)
    return std::wstring();
  std::vector<wchar_t> data(65536);
  DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t) - 4);
  LONG result = RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(data.data()), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return std::wstring();
  std::wstring all(data.data(), size / sizeof(wchar_t));
  for (wchar_t& c : all)
    if (c == 0) c = L'|';
  return all;
}

bool Contains(const std::wstring& text, const std::wstring& part) {
  return text.find(part) != std::wstring::npos;
}

bool WaitUntilGone(const std::wstring& path, DWORD ms) {
  DWORD start = GetTickCount();
  while (Exists(path)) {
    if (GetTickCount() - start > ms) return false;
    Sleep(20);
  }
  return true;
}

}  // namespace

class UninstallerTest : public InstallFixture {
 protected:
  UninstallerTest() {
    uninstaller_.SetEnvironment(env_.get());
    uninstaller_.SetModule(GetModuleHandleW(nullptr));
  }

  void ResetBoth(const InstallSettings& settings,
                 const std::map<std::string, std::wstring>& strings = SampleStrings()) {
    Reset(settings, strings);
    MakeLauncherFile();
    uninstaller_.SetEnvironment(env_.get());
  }

  std::wstring Data() { return env_->dorvgame + L"VelmorTestProduct\\"; }
  std::wstring Low() { return scratch_.Path() + L"cache\\Low\\dorvgame\\VelmorTestProduct\\"; }
  std::wstring Plugins() { return env_->dorvgame + L"kvtplayer\\"; }
  std::wstring StartMenu() { return env_->programs + L"Velmor Test\\"; }

  void Put(const std::wstring& path) {
    env_->CreateFolderChain(path.substr(0, path.find_last_of(L'\\')));
    ASSERT_TRUE(WriteWholeFile(path, "x")) << testing::PrintToString(path);
  }

  // Install, then the files a run of the game leaves behind.
  void InstallAndPlay() {
    RunInstall();
    for (const wchar_t* file : {L"data.pak", L"data_3.pak", L"DATA_12.PAK", L"gameupdater.log",
                                L"game.dll", L"user_data\\a.dat", L"user_data\\sub\\b.dat",
                                L"removed_files\\a.b", L"runstate.cfg", L"empty\\deeper\\x.log"})
      Put(Data() + file);
    Put(Low() + L"data_1.pak");
    Put(Low() + L"runstate.cfg");
    Put(Plugins() + L"kvtplayer.log");
  }

  // What a user's own files look like: no pattern names them.
  void PutKeptFiles() {
    Put(Data() + L"removed_files\\nodot");
    Put(Data() + L"sub\\velmor_test.exe");
    Put(Data() + L"notes.txt");
  }

  void ExpectProductGone() {
    EXPECT_FALSE(PathValue(nullptr));
    EXPECT_FALSE(RegistryKeyExists(UninstallKey()));
    EXPECT_FALSE(Exists(env_->desktop + L"\\Play Velmor Test.lnk"));
    EXPECT_FALSE(Exists(env_->desktop + L"\\Velmor Test Home.lnk"));
    EXPECT_FALSE(Exists(StartMenu()));
    EXPECT_FALSE(Exists(Low()));
    EXPECT_FALSE(Exists(env_->launcher));
  }

  void ExpectPlugins(bool present) {
    EXPECT_EQ(present, Exists(Plugins() + L"kvtplayer.ocx"));
    EXPECT_EQ(present, Exists(Plugins() + L"npkvtplayer.dll"));
    EXPECT_EQ(present, Exists(Plugins() + L"kvtplayer.log"));
    EXPECT_EQ(present, PluginRegistered(L"kvtplayer.ocx"));
    EXPECT_EQ(present, PluginRegistered(L"npkvtplayer.dll"));
  }

  Uninstaller uninstaller_;
};

TEST_F(UninstallerTest, SilentRemovesTheProductAndKeepsThePlugins) {
  InstallAndPlay();
  Put(env_->desktop + L"\\Velmor Test Updater.lnk");
  Put(StartMenu() + L"Velmor Test Updater.lnk");
  EXPECT_TRUE(uninstaller_.Run(true, false));
  ExpectProductGone();
  EXPECT_FALSE(Exists(env_->desktop + L"\\Velmor Test Updater.lnk"));
  EXPECT_FALSE(Exists(Data()));
  EXPECT_TRUE(Exists(env_->dorvgame));
  ExpectPlugins(true);
}

TEST_F(UninstallerTest, SilentWithPluginSwitchUnregistersAndRemovesThePlugins) {
  InstallAndPlay();
  EXPECT_TRUE(uninstaller_.Run(true, true));
  ExpectProductGone();
  ExpectPlugins(false);
  EXPECT_FALSE(Exists(Plugins()));
}

TEST_F(UninstallerTest, PluginFilesGoEvenWhenPluginsAreDisabled) {
  InstallAndPlay();
  InstallSettings settings = SampleSettings();
  settings.pluginEnable = false;
  ResetBoth(settings);
  EXPECT_TRUE(uninstaller_.Run(true, true));
  EXPECT_FALSE(Exists(Plugins() + L"kvtplayer.ocx"));
  // Not unregistered: the configuration says the plug-ins are not the launcher's.
  EXPECT_TRUE(PluginRegistered(L"kvtplayer.ocx"));
}

TEST_F(UninstallerTest, FilesNoPatternNamesStayWithTheirFolders) {
  InstallAndPlay();
  PutKeptFiles();
  EXPECT_TRUE(uninstaller_.Run(true, false));
  EXPECT_TRUE(Exists(Data() + L"removed_files\\nodot"));
  EXPECT_FALSE(Exists(Data() + L"removed_files\\a.b"));
  EXPECT_TRUE(Exists(Data() + L"sub\\velmor_test.exe"));
  EXPECT_TRUE(Exists(Data() + L"notes.txt"));
  EXPECT_FALSE(Exists(Data() + L"velmor_test.exe"));
  EXPECT_FALSE(Exists(Data() + L"user_data"));
  EXPECT_FALSE(Exists(Data() + L"empty"));
  EXPECT_FALSE(Exists(Data() + L"DATA_12.PAK"));
}

TEST_F(UninstallerTest, RegistryEntriesGoEvenWhenNoFileCanBeRemoved) {
  RunInstall();
  HeldFile held(Data() + L"velmor_test.exe");
  ASSERT_TRUE(held.IsOpen());
  EXPECT_TRUE(uninstaller_.Run(true, false));
  EXPECT_FALSE(PathValue(nullptr));
  EXPECT_FALSE(RegistryKeyExists(UninstallKey()));
}

TEST_F(UninstallerTest, FileThatCannotMoveIsScheduledForRestart) {
  RunInstall();
  Put(Data() + L"data_7.pak");
  HeldFile held(Data() + L"data_7.pak");
  ASSERT_TRUE(held.IsOpen());
  EXPECT_TRUE(uninstaller_.Run(true, false));
  EXPECT_TRUE(Exists(Data() + L"data_7.pak"));
  EXPECT_TRUE(Contains(PendingRenames(), Data() + L"data_7.pak")) << PendingRenames().size();
}

TEST_F(UninstallerTest, LoadedLibraryIsParkedAtTheDriveRootAndScheduled) {
  RunInstall();
  std::wstring game = Data() + L"game.dll";
  ASSERT_TRUE(CopyFileW((Plugins() + L"npkvtplayer.dll").c_str(), game.c_str(), FALSE));
  HMODULE loaded = LoadLibraryW(game.c_str());
  ASSERT_NE(nullptr, loaded);
  std::wstring parked = Data().substr(0, 3) + L"game.dll.kvt.uninstall";
  EXPECT_TRUE(uninstaller_.Run(true, false));
  FreeLibrary(loaded);
  EXPECT_FALSE(Exists(game));
  if (Exists(parked)) {
    EXPECT_TRUE(Contains(PendingRenames(), parked));
    DeleteFileW(parked.c_str());
  }
}

TEST_F(UninstallerTest, EmptyProductNameAndIdNeverReachOtherProducts) {
  Put(env_->dorvgame + L"OtherProduct\\data.pak");
  Put(env_->dorvgame + L"OtherProduct\\game.log");
  Put(env_->dorvgame + L"stray.log");
  std::wstring other = std::wstring(Installer::kUninstallKey) + L"{VELMOR-TEST-OTHER}";
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, other.c_str(), 0, nullptr, 0,
                                           KEY_WRITE, nullptr, &key, nullptr));
  RegCloseKey(key);
  InstallSettings settings = SampleSettings();
  settings.productName.clear();
  settings.uninstallId.clear();
  ResetBoth(settings);
  EXPECT_TRUE(uninstaller_.Run(true, false));
  EXPECT_TRUE(Exists(env_->dorvgame + L"OtherProduct\\data.pak"));
  EXPECT_TRUE(Exists(env_->dorvgame + L"OtherProduct\\game.log"));
  EXPECT_TRUE(Exists(env_->dorvgame + L"stray.log"));
  EXPECT_TRUE(RegistryKeyExists(other));
  InstallTestFiles::DeleteRegistryKeyTree(other);
}

TEST_F(UninstallerTest, EmptyStartMenuNameLeavesOtherProgramsFoldersAlone) {
  std::map<std::string, std::wstring> strings = SampleStrings();
  strings.erase("start_menu_dir_name");
  ResetBoth(SampleSettings(), strings);
  RunInstall();
  CreateDirectoryW((env_->programs + L"Other Program").c_str(), nullptr);
  EXPECT_TRUE(Exists(env_->programs + L"Play Velmor Test.lnk"));
  EXPECT_TRUE(uninstaller_.Run(true, false));
  EXPECT_FALSE(Exists(env_->programs + L"Play Velmor Test.lnk"));
  EXPECT_TRUE(Exists(env_->programs + L"Other Program"));
  EXPECT_TRUE(Exists(env_->programs));
}

TEST_F(UninstallerTest, SelfDeleteQuotesThePathAndTheInterpreterDeletesTheProgram) {
  RunInstall();
  {
    // In use while the files go, as the running launcher is.
    HeldFile running(env_->launcher);
    ASSERT_TRUE(running.IsOpen());
    EXPECT_TRUE(uninstaller_.DoUninstall());
  }
  ASSERT_TRUE(Exists(env_->launcher));
  EXPECT_EQ(env_->launcher, uninstaller_.ModulePath());
  env_->reallyStart = true;
  ASSERT_TRUE(uninstaller_.SelfDelete());
  wchar_t shortPath[1024] = {0};
  GetShortPathNameW(env_->launcher.c_str(), shortPath, 1024);
  EXPECT_EQ(std::wstring(L"/c del \"") + shortPath + L"\" > nul",
            uninstaller_.SelfDeleteParameters());
  EXPECT_TRUE(WaitUntilGone(env_->launcher, 20000));
}

TEST_F(UninstallerTest, SelfDeleteOfAMissingProgramFails) {
  ResetBoth(SampleSettings());
  DeleteFileW(env_->launcher.c_str());
  EXPECT_TRUE(uninstaller_.DoUninstall());
  EXPECT_FALSE(uninstaller_.SelfDelete());
  EXPECT_TRUE(env_->started.empty());
}

TEST_F(UninstallerTest, CancelRemovesNothing) {
  RunInstall();
  DialogDriver driver({{L"Velmor test: remove?", DialogDriver::kClickCancel}});
  EXPECT_FALSE(uninstaller_.Run(false, false));
  const std::vector<DialogDriver::Seen>& seen = driver.Finish();
  ASSERT_TRUE(seen[0].found);
  EXPECT_EQ(L"Remove the game?", seen[0].description);
  EXPECT_EQ(L"Remove", seen[0].okText);
  EXPECT_TRUE(seen[0].boxVisible);
  EXPECT_FALSE(seen[0].boxChecked);
  EXPECT_TRUE(PathValue(nullptr));
  EXPECT_TRUE(Exists(Data() + L"velmor_test.exe"));
  EXPECT_TRUE(env_->started.empty());
}

TEST_F(UninstallerTest, BoxTickedByPluginSwitchRemovesPluginsWithoutWarning) {
  InstallAndPlay();
  DialogDriver driver({{L"Velmor test: remove?", DialogDriver::kClickOk},
                       {L"Velmor test: removed", DialogDriver::kClickOk}});
  EXPECT_TRUE(uninstaller_.Run(false, true));
  const std::vector<DialogDriver::Seen>& seen = driver.Finish();
  ASSERT_TRUE(seen[0].found);
  EXPECT_TRUE(seen[0].boxChecked);
  ASSERT_TRUE(seen[1].found);
  EXPECT_EQ(L"The game is gone.", seen[1].description);
  EXPECT_EQ(L"Close", seen[1].okText);
  EXPECT_TRUE(uninstaller_.RemovePlugins());
  ExpectProductGone();
  ExpectPlugins(false);
}

TEST_F(UninstallerTest, ClearingTheTickedBoxKeepsThePlugins) {
  InstallSettings settings = SampleSettings();
  settings.uninstallPlugin = true;
  ResetBoth(settings);
  InstallAndPlay();
  DialogDriver driver({{L"Velmor test: remove?", DialogDriver::kClearThenOk},
                       {L"Velmor test: removed", DialogDriver::kClickOk}});
  EXPECT_TRUE(uninstaller_.Run(false, true));
  const std::vector<DialogDriver::Seen>& seen = driver.Finish();
  EXPECT_TRUE(seen[0].boxChecked);
  EXPECT_TRUE(seen[1].found);
  EXPECT_FALSE(uninstaller_.RemovePlugins());
  ExpectProductGone();
  ExpectPlugins(true);
}

TEST_F(UninstallerTest, BoxTickedByTheUserAsksAndItsCancelStillUninstalls) {
  InstallAndPlay();
  DialogDriver driver({{L"Velmor test: remove?", DialogDriver::kTickThenOk},
                       {L"Velmor test: plug-ins", DialogDriver::kClickCancel},
                       {L"Velmor test: removed", DialogDriver::kClickOk}});
  EXPECT_TRUE(uninstaller_.Run(false, false));
  const std::vector<DialogDriver::Seen>& seen = driver.Finish();
  EXPECT_TRUE(seen[1].found);
  EXPECT_TRUE(seen[2].found);
  ExpectProductGone();
  ExpectPlugins(true);
}

TEST_F(UninstallerTest, BoxTickedByTheUserAndWarningConfirmedRemovesPlugins) {
  InstallAndPlay();
  DialogDriver driver({{L"Velmor test: remove?", DialogDriver::kTickThenOk},
                       {L"Velmor test: plug-ins", DialogDriver::kClickOk},
                       {L"Velmor test: removed", DialogDriver::kClickOk}});
  EXPECT_TRUE(uninstaller_.Run(false, false));
  driver.Finish();
  ExpectProductGone();
  ExpectPlugins(false);
}

TEST_F(UninstallerTest, BoxIsHiddenWhenPluginsAreDisabled) {
  InstallSettings settings = SampleSettings();
  settings.pluginEnable = false;
  ResetBoth(settings);
  DialogDriver driver({{L"Velmor test: remove?", DialogDriver::kClickCancel}});
  EXPECT_FALSE(uninstaller_.Run(false, false));
  const std::vector<DialogDriver::Seen>& seen = driver.Finish();
  ASSERT_TRUE(seen[0].found);
  EXPECT_FALSE(seen[0].boxVisible);
}

TEST_F(UninstallerTest, IsUninstallTargetTable) {
  struct Case {
    const wchar_t* relative;
    bool target;
  };
  const Case cases[] = {
      {L"data_3.pak", true},         {L"data.pak", true},
      {L"velmor_test.exe", true},    {L"sub\\velmor_test.exe", false},
      {L"kvtplayer.ocx", true},      {L"plugins\\npkvtplayer.dll", false},
      {L"x\\y\\trace.log", true},    {L"user_data\\sub\\x.dat", true},
      {L"removed_files\\ab", false}, {L"engine.cfg", true},
      {L"engine.cfg.bak", false},    {L"notes.txt", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.target, uninstaller_.IsUninstallTarget(c.relative))
        << testing::PrintToString(std::wstring(c.relative));
}

// A read-only file cannot be deleted but can be renamed, as a running
// program's file on Windows; Wine deletes a mapped image at once.
TEST_F(UninstallerTest, FileThatOnlyMovesIsParkedAtTheDriveRootAndScheduled) {
  RunInstall();
  Put(Data() + L"data_5.pak");
  ASSERT_TRUE(SetFileAttributesW((Data() + L"data_5.pak").c_str(), FILE_ATTRIBUTE_READONLY));
  std::wstring parked = Data().substr(0, 3) + L"data_5.pak.kvt.uninstall";
  EXPECT_TRUE(uninstaller_.Run(true, false));
  EXPECT_FALSE(Exists(Data() + L"data_5.pak"));
  EXPECT_FALSE(Exists(Data()));
  EXPECT_TRUE(Exists(parked));
  EXPECT_TRUE(Contains(PendingRenames(), parked));
  SetFileAttributesW(parked.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(parked.c_str());
}

TEST_F(UninstallerTest, LauncherInTheDataFolderIsFollowedToItsParkingPlaceAndDeleted) {
  RunInstall();
  std::wstring installed = Data() + L"velmor_test.exe";
  ASSERT_TRUE(SetFileAttributesW(installed.c_str(), FILE_ATTRIBUTE_READONLY));
  env_->launcher = installed;
  EXPECT_TRUE(uninstaller_.DoUninstall());
  std::wstring parked = Data().substr(0, 3) + L"velmor_test.exe.kvt.uninstall";
  EXPECT_EQ(parked, uninstaller_.ModulePath());
  EXPECT_FALSE(Exists(installed));
  EXPECT_FALSE(Exists(Data()));
  // Once the launcher has ended its file is deletable; the interpreter gets it.
  SetFileAttributesW(parked.c_str(), FILE_ATTRIBUTE_NORMAL);
  env_->reallyStart = true;
  ASSERT_TRUE(uninstaller_.SelfDelete());
  EXPECT_TRUE(WaitUntilGone(parked, 20000));
  DeleteFileW(parked.c_str());
}
