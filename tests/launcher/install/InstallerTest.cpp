#include <gtest/gtest.h>
#include <shlobj.h>

#include "InstallFixture.h"

using InstallTestFiles::Exists;
using InstallTestFiles::ReadRegistryText;
using InstallTestFiles::ReadWholeFile;
using InstallTestFiles::RegistryKeyExists;
using InstallTestFiles::WriteWholeFile;

namespace {

std::string Text(const std::wstring& path) {
  std::vector<char> bytes;
  if (!ReadWholeFile(path, bytes)) return "<missing>";
  return std::string(bytes.begin(), bytes.end());
}

struct LinkValues {
  bool loaded = false;
  std::wstring target, arguments, workingFolder, icon;
};

// Reads a link file back through the shell's own link object.
LinkValues ReadLink(const std::wstring& path) {
  LinkValues values;
  CoInitialize(nullptr);
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
        wchar_t text[1024] = {0};
        values.loaded = true;
        link->GetPath(text, 1024, nullptr, 0);
        values.target = text;
        text[0] = 0;
        link->GetArguments(text, 1024);
        values.arguments = text;
        text[0] = 0;
        link->GetWorkingDirectory(text, 1024);
        values.workingFolder = text;
        text[0] = 0;
        int index = 0;
        link->GetIconLocation(text, 1024, &index);
        values.icon = text;
      }
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return values;
}

}  // namespace

class InstallerTest : public InstallFixture {
 protected:
  std::wstring DataFolder() { return env_->dorvgame + L"VelmorTestProduct\\"; }
  std::wstring StartMenu() { return env_->programs + L"Velmor Test\\"; }
};

TEST_F(InstallerTest, InstallsProgramPluginsLinksAndRegistry) {
  RunInstall();
  EXPECT_EQ(DataFolder(), installer_.InstallFolder());
  EXPECT_EQ("launcher program", Text(DataFolder() + L"velmor_test.exe"));
  EXPECT_TRUE(Exists(env_->dorvgame + L"kvtplayer\\kvtplayer.ocx"));
  EXPECT_TRUE(Exists(env_->dorvgame + L"kvtplayer\\npkvtplayer.dll"));
  EXPECT_TRUE(PluginRegistered(L"kvtplayer.ocx"));
  EXPECT_TRUE(PluginRegistered(L"npkvtplayer.dll"));

  EXPECT_TRUE(Exists(env_->desktop + L"\\Play Velmor Test.lnk"));
  EXPECT_TRUE(Exists(StartMenu() + L"Play Velmor Test.lnk"));
  EXPECT_TRUE(Exists(env_->desktop + L"\\Velmor Test Home.lnk"));
  EXPECT_TRUE(Exists(StartMenu() + L"Velmor Test Home.lnk"));
  EXPECT_FALSE(Exists(env_->desktop + L"\\Never.lnk"));

  std::wstring folder;
  ASSERT_TRUE(PathValue(&folder));
  EXPECT_EQ(DataFolder(), folder);
  struct Value {
    const wchar_t* name;
    std::wstring data;
  };
  const Value values[] = {
      {L"DisplayName", L"Velmor Test Product"},
      {L"DisplayIcon", DataFolder() + L"velmor_test.exe"},
      {L"DisplayVersion", L"1.0.0.0"},
      {L"Publisher", L"Velmor Test Publisher"},
      {L"UninstallString", L"\"" + DataFolder() + L"velmor_test.exe\" /uninstall"},
  };
  for (const Value& value : values) {
    std::wstring data;
    EXPECT_TRUE(ReadRegistryText(UninstallKey(), value.name, &data)) << value.name;
    EXPECT_EQ(value.data, data) << value.name;
  }
  EXPECT_EQ(1u, env_->runStates.count("Installed"));
  ASSERT_EQ(1u, env_->reports.size());
  EXPECT_EQ("SilentInstallSuccess", env_->reports[0].first);
  EXPECT_EQ(4, env_->reports[0].second);
}

TEST_F(InstallerTest, KeepsAProgramFileAlreadyInstalled) {
  env_->CreateFolderChain(DataFolder());
  ASSERT_TRUE(WriteWholeFile(DataFolder() + L"velmor_test.exe", "older copy"));
  RunInstall();
  EXPECT_EQ("older copy", Text(DataFolder() + L"velmor_test.exe"));
}

TEST_F(InstallerTest, LinkSwitchesSuppressOnlyTheirOwnList) {
  RunInstall(true, false);
  EXPECT_FALSE(Exists(env_->desktop + L"\\Play Velmor Test.lnk"));
  EXPECT_TRUE(Exists(env_->desktop + L"\\Velmor Test Home.lnk"));
  EXPECT_TRUE(PathValue(nullptr));
  EXPECT_TRUE(PluginRegistered(L"kvtplayer.ocx"));
  DeleteFileW((env_->desktop + L"\\Velmor Test Home.lnk").c_str());
  RunInstall(false, true);
  EXPECT_TRUE(Exists(env_->desktop + L"\\Play Velmor Test.lnk"));
  EXPECT_FALSE(Exists(env_->desktop + L"\\Velmor Test Home.lnk"));
}

TEST_F(InstallerTest, WithoutUninstallEntryOnlyThePathValueIsWritten) {
  InstallSettings settings = SampleSettings();
  settings.uninstallEnable = false;
  Reset(settings, SampleStrings());
  RunInstall();
  EXPECT_TRUE(PathValue(nullptr));
  EXPECT_FALSE(RegistryKeyExists(UninstallKey()));
}

TEST_F(InstallerTest, DisabledPluginsAreUnpackedButNotRegistered) {
  InstallSettings settings = SampleSettings();
  settings.pluginEnable = false;
  Reset(settings, SampleStrings());
  RunInstall();
  EXPECT_TRUE(Exists(env_->dorvgame + L"kvtplayer\\kvtplayer.ocx"));
  EXPECT_FALSE(PluginRegistered(L"kvtplayer.ocx"));
  EXPECT_FALSE(PluginRegistered(L"npkvtplayer.dll"));
}

TEST_F(InstallerTest, EmptyIdWritesNothingIntoTheListOfPrograms) {
  InstallSettings settings = SampleSettings();
  settings.uninstallId.clear();
  Reset(settings, SampleStrings());
  RunInstall();
  EXPECT_FALSE(ReadRegistryText(Installer::kUninstallKey, L"DisplayName", nullptr));
  EXPECT_FALSE(ReadRegistryText(Installer::kUninstallKey, L"UninstallString", nullptr));
}

TEST_F(InstallerTest, LinksCarryTargetArgumentsWorkingFolderAndIcon) {
  RunInstall();
  LinkValues file = ReadLink(StartMenu() + L"Play Velmor Test.lnk");
  ASSERT_TRUE(file.loaded);
  EXPECT_EQ(DataFolder() + L"velmor_test.exe", file.target);
  EXPECT_EQ(L"-play", file.arguments);
  // A File without a folder part works in the install folder itself.
  EXPECT_EQ(DataFolder(), file.workingFolder);
  LinkValues web = ReadLink(env_->desktop + L"\\Velmor Test Home.lnk");
  ASSERT_TRUE(web.loaded);
  EXPECT_EQ(L"http://game.invalid/home", web.arguments);
  EXPECT_EQ(DataFolder() + L"game.ico", web.icon);
  EXPECT_EQ(L"", web.workingFolder);
}

TEST_F(InstallerTest, RunAfterInstallStartsWhatIsAsked) {
  InstallSettings settings = SampleSettings();
  settings.runExe = true;
  settings.openUrl = true;
  Reset(settings, SampleStrings());
  RunInstall();
  EXPECT_TRUE(installer_.RunAfterInstall());
  ASSERT_EQ(2u, env_->opened.size());
  EXPECT_EQ(DataFolder() + L"velmor_test.exe|-first", env_->opened[0]);
  EXPECT_EQ(L"http://game.invalid/welcome|", env_->opened[1]);
  Reset(SampleSettings(), SampleStrings());
  EXPECT_TRUE(installer_.RunAfterInstall());
  EXPECT_TRUE(env_->opened.empty());
}
