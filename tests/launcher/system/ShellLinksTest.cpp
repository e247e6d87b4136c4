#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

#include "ConfigMgr.h"
#include "ShellLinks.h"
#include "TempFolder.h"

namespace {

// What a link file holds, read back through the shell's own link object.
struct LinkContents {
  bool loaded = false;
  std::wstring path, arguments, description, workingFolder, iconFile;
  int showCmd = 0;
};

LinkContents ReadLink(const std::wstring& linkPath) {
  LinkContents contents;
  CoInitialize(nullptr);
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      if (SUCCEEDED(file->Load(linkPath.c_str(), STGM_READ))) {
        contents.loaded = true;
        wchar_t text[1024];
        int icon = 0;
        text[0] = 0;
        link->GetPath(text, 1024, nullptr, SLGP_RAWPATH);
        contents.path = text;
        text[0] = 0;
        link->GetArguments(text, 1024);
        contents.arguments = text;
        text[0] = 0;
        link->GetDescription(text, 1024);
        contents.description = text;
        text[0] = 0;
        link->GetWorkingDirectory(text, 1024);
        contents.workingFolder = text;
        text[0] = 0;
        link->GetIconLocation(text, 1024, &icon);
        contents.iconFile = text;
        link->GetShowCmd(&contents.showCmd);
      }
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return contents;
}

class ShellLinksTest : public ::testing::Test {
 protected:
  std::wstring Target(const wchar_t* name) {
    std::wstring path = folder_.Path() + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    return path;
  }
  TempFolder folder_;
};

TEST_F(ShellLinksTest, LinkHoldsEveryValueGiven) {
  std::wstring target = Target(L"game.exe");
  std::wstring linkPath = folder_.Path() + L"\x6C90\x680E.lnk";
  ASSERT_TRUE(CreateShortcut(target.c_str(), L"/run fast", L"\x300A\x6C90\x300B",
                             folder_.Path().c_str(), (folder_.Path() + L"game.ico").c_str(),
                             linkPath.c_str()));
  LinkContents link = ReadLink(linkPath);
  ASSERT_TRUE(link.loaded);
  EXPECT_EQ(link.path, target);
  EXPECT_EQ(link.arguments, L"/run fast");
  EXPECT_EQ(link.description, L"\x300A\x6C90\x300B");
  EXPECT_EQ(link.workingFolder, folder_.Path());
  EXPECT_EQ(link.iconFile, folder_.Path() + L"game.ico");
  EXPECT_NE(link.showCmd, SW_HIDE);
}

TEST_F(ShellLinksTest, EmptyValuesLeavePropertiesUnset) {
  std::wstring target = Target(L"game.exe");
  std::wstring linkPath = folder_.Path() + L"plain.lnk";
  ASSERT_TRUE(CreateShortcut(target.c_str(), L"", nullptr, L"", nullptr, linkPath.c_str()));
  LinkContents link = ReadLink(linkPath);
  ASSERT_TRUE(link.loaded);
  EXPECT_EQ(link.path, target);
  EXPECT_EQ(link.arguments, L"");
  EXPECT_EQ(link.description, L"");
  EXPECT_EQ(link.workingFolder, L"");
  EXPECT_EQ(link.iconFile, L"");
}

TEST_F(ShellLinksTest, NewLinkReplacesTheOldOne) {
  std::wstring linkPath = folder_.Path() + L"game.lnk";
  ASSERT_TRUE(CreateShortcut(Target(L"old.exe").c_str(), L"-old", nullptr, nullptr, nullptr,
                             linkPath.c_str()));
  ASSERT_TRUE(CreateShortcut(Target(L"new.exe").c_str(), nullptr, nullptr, nullptr, nullptr,
                             linkPath.c_str()));
  LinkContents link = ReadLink(linkPath);
  ASSERT_TRUE(link.loaded);
  EXPECT_EQ(link.path, folder_.Path() + L"new.exe");
  EXPECT_EQ(link.arguments, L"");
}

TEST_F(ShellLinksTest, OldLinkIsGoneEvenWhenSavingTheNewOneFails) {
  std::wstring linkPath = folder_.Path() + L"game.lnk";
  ASSERT_TRUE(CreateShortcut(Target(L"old.exe").c_str(), nullptr, nullptr, nullptr, nullptr,
                             linkPath.c_str()));
  // A reader that shares deletion but not writing lets the old file be
  // deleted while it keeps the name taken, so the new link cannot be saved.
  HANDLE reader = CreateFileW(linkPath.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(CreateShortcut(Target(L"new.exe").c_str(), nullptr, nullptr, nullptr, nullptr,
                              linkPath.c_str()));
  CloseHandle(reader);
  EXPECT_FALSE(FileExists(linkPath));
}

TEST_F(ShellLinksTest, RequiredArgumentsMissingFailAtOnce) {
  std::wstring linkPath = folder_.Path() + L"kept.lnk";
  ASSERT_TRUE(CreateShortcut(Target(L"a.exe").c_str(), nullptr, nullptr, nullptr, nullptr,
                             linkPath.c_str()));
  EXPECT_FALSE(CreateShortcut(nullptr, nullptr, nullptr, nullptr, nullptr, linkPath.c_str()));
  EXPECT_TRUE(FileExists(linkPath));
  EXPECT_FALSE(CreateShortcut(L"a.exe", nullptr, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(ShellLinksTest, FolderChainMakesEveryFolderOfThePath) {
  std::wstring path = folder_.Path() + L"a\\b/c\\d";
  EXPECT_TRUE(CreateFolderChain(path.c_str()));
  EXPECT_TRUE(FileExists(folder_.Path() + L"a\\b\\c\\d"));
  EXPECT_TRUE(CreateFolderChain(path.c_str()));  // existing folders are fine
  EXPECT_TRUE(CreateFolderChain((folder_.Path() + L"e\\").c_str()));
  EXPECT_TRUE(FileExists(folder_.Path() + L"e"));
  EXPECT_FALSE(CreateFolderChain(nullptr));
}

TEST(LinkPathTest, OneSeparatorBetweenFolderAndName) {
  EXPECT_EQ(JoinLinkPath(L"C:\\Desk", L"x.lnk"), L"C:\\Desk\\x.lnk");
  EXPECT_EQ(JoinLinkPath(L"C:\\Desk\\", L"x.lnk"), L"C:\\Desk\\x.lnk");
  EXPECT_EQ(JoinLinkPath(L"C:\\Desk/", L"x.lnk"), L"C:\\Desk/x.lnk");
}

std::wstring ShellFolder(int csidl) {
  wchar_t buffer[2048] = {};
  SHGetSpecialFolderPathW(nullptr, buffer, csidl, TRUE);
  return buffer;
}

int g_gateCalls = 0;
bool g_recordedBefore = false;
bool Gate(const char* name) {
  ++g_gateCalls;
  EXPECT_STREQ(name, "CreateShortCuts");
  return g_recordedBefore;
}

TEST(UpdaterShortcutsTest, MadeOnDesktopAndStartMenuOnlyOnTheFirstRun) {
  ASSERT_TRUE(g_configMgr.LoadConfig(GetModuleHandleW(nullptr)));
  ASSERT_TRUE(g_configMgr.LoadStrings(GetModuleHandleW(nullptr)));
  std::wstring name, menu;
  ASSERT_TRUE(g_configMgr.GetString("updater_short_cut", &name));
  ASSERT_TRUE(g_configMgr.GetString("start_menu_dir_name", &menu));
  std::wstring desktopLink = JoinLinkPath(ShellFolder(CSIDL_DESKTOPDIRECTORY), name);
  std::wstring menuFolder = JoinLinkPath(ShellFolder(CSIDL_PROGRAMS), menu);
  std::wstring menuLink = menuFolder + L"\\" + name;
  DeleteFileW(desktopLink.c_str());
  DeleteFileW(menuLink.c_str());

  g_recordedBefore = true;
  g_gateCalls = 0;
  EXPECT_TRUE(CreateUpdaterShortcuts(Gate));
  EXPECT_EQ(g_gateCalls, 1);
  EXPECT_FALSE(FileExists(desktopLink));
  EXPECT_FALSE(FileExists(menuLink));

  g_recordedBefore = false;
  EXPECT_TRUE(CreateUpdaterShortcuts(Gate));
  wchar_t exe[2048] = {};
  GetModuleFileNameW(nullptr, exe, 2048);
  LinkContents onDesktop = ReadLink(desktopLink);
  ASSERT_TRUE(onDesktop.loaded);
  EXPECT_EQ(onDesktop.path, exe);
  std::wstring description;
  g_configMgr.GetString("updater_short_cut_desc", &description);
  EXPECT_EQ(onDesktop.description, description);
  EXPECT_EQ(onDesktop.arguments, L"");
  EXPECT_TRUE(ReadLink(menuLink).loaded);

  DeleteFileW(desktopLink.c_str());
  DeleteFileW(menuLink.c_str());
  RemoveDirectoryW(menuFolder.c_str());
}

}  // namespace
