#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "../phases/LoaderFakes.h"
#include "RelocateSelf.h"

namespace {

std::string TempFolder(const char* name) {
  char base[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, base);
  std::string folder = std::string(base) + name + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder + "\\";
}

TEST(SameFolderTest, SpellingsOfOneFolderAreEqual) {
  std::string folder = TempFolder("Velmor Relocate Folder");
  char shortName[MAX_PATH] = {};
  DWORD n = GetShortPathNameA(folder.c_str(), shortName, MAX_PATH);
  ASSERT_GT(n, 0u);
  EXPECT_TRUE(SameFolder(folder, shortName));
  std::string slashes = folder;
  for (char& c : slashes) c = c == '\\' ? '/' : c;
  EXPECT_TRUE(SameFolder(folder, slashes));
  EXPECT_TRUE(SameFolder(folder, folder.substr(0, folder.size() - 1)));
  std::string upper = folder;
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  EXPECT_TRUE(SameFolder(folder, upper));
  EXPECT_FALSE(SameFolder(folder, folder + "other\\"));
  RemoveDirectoryA(folder.c_str());
}

TEST(RelocateSelfTest, RunsInPlaceWhenTheProgramIsTheTarget) {
  LoaderTests::FakeSystem system;
  std::string folder = TempFolder("VelmorRelocateInPlace");
  system.dataFolder = folder;
  system.moduleFolder = folder + ".\\";
  system.modulePath = folder + "velmor.exe";
  LoaderSettings settings;
  settings.runPlace = kRunPlaceLocalAppData;
  EXPECT_TRUE(RelocateSelf(L"/relogin", settings, &system));
  EXPECT_TRUE(system.started.empty());
  RemoveDirectoryA(folder.c_str());
}

TEST(RelocateSelfTest, CurrentDirectoryNeverRelocates) {
  LoaderTests::FakeSystem system;
  LoaderSettings settings;
  settings.runPlace = kRunPlaceCurrentDirectory;
  EXPECT_TRUE(RelocateSelf(L"", settings, &system));
  EXPECT_TRUE(system.started.empty());
}

TEST(RelocateSelfTest, ElsewhereStartsTheFileInTheRunFolderWithTheSameLine) {
  LoaderTests::FakeSystem system;
  std::string folder = TempFolder("VelmorRelocateTarget");
  system.dataFolder = folder;
  system.existing.push_back(folder + "velmor.exe");
  LoaderSettings settings;
  settings.runPlace = kRunPlaceLocalAppData;
  EXPECT_FALSE(RelocateSelf(L"/relogin x", settings, &system));
  ASSERT_EQ(1u, system.started.size());
  EXPECT_EQ(folder + "velmor.exe", system.started[0].first);
  EXPECT_EQ(L"/relogin x", system.started[0].second);
  RemoveDirectoryA(folder.c_str());
}

TEST(RelocateSelfTest, NoRunFolderEndsTheProcess) {
  LoaderTests::FakeSystem system;
  system.dataFolder.clear();
  LoaderSettings settings;
  settings.runPlace = kRunPlaceInternetCache;
  EXPECT_FALSE(RelocateSelf(L"", settings, &system));
  EXPECT_TRUE(system.started.empty());
}

}  // namespace
