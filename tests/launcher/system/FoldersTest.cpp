#include <gtest/gtest.h>

#include <shlobj.h>
#include <shlwapi.h>

#include <string>

#include "LauncherFolders.h"

namespace {

std::string LocalAppData() {
  char buffer[2048] = {};
  EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_LOCAL_APPDATA, TRUE));
  return buffer;
}

TEST(FoldersTest, JoinFolderAddsOneSeparatorAndRefusesEmptyParts) {
  const char* twoParts[] = {"dorvgame", "P"};
  const char* emptyProduct[] = {"dorvgame", ""};
  struct Case {
    const char* base;
    const char* const* parts;
    size_t count;
    const char* expected;
  } cases[] = {
      {"C:\\Data", twoParts, 2, "C:\\Data\\dorvgame\\P\\"},
      {"C:\\Data\\", twoParts, 2, "C:\\Data\\dorvgame\\P\\"},
      {"C:\\Data/", twoParts, 2, "C:\\Data/dorvgame\\P\\"},
      {"", twoParts, 2, ""},
      {"C:\\Data", emptyProduct, 2, ""},
      {"C:\\Data", twoParts, 0, "C:\\Data\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(JoinFolder(c.base, c.parts, c.count), c.expected) << c.base;
}

TEST(FoldersTest, DataFoldersLieBelowTheShellFolders) {
  std::string base = WithTrailingSeparator(LocalAppData());
  EXPECT_EQ(GetLocalDataFolder("Prod"), base + "dorvgame\\Prod\\");
  EXPECT_EQ(GetPluginFolder(), base + "dorvgame\\kvtplayer\\");
  char cache[2048] = {};
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, cache, CSIDL_INTERNET_CACHE, TRUE));
  EXPECT_EQ(GetLowIntegrityDataFolder("Prod"),
            WithTrailingSeparator(cache) + "Low\\dorvgame\\Prod\\");
}

TEST(FoldersTest, EmptyProductNameGivesNoFolder) {
  EXPECT_EQ(GetLocalDataFolder(""), "");
  EXPECT_EQ(GetLowIntegrityDataFolder(""), "");
}

TEST(FoldersTest, ModuleFolderEndsInSeparator) {
  struct Case {
    const char* path;
    const char* expected;
  } cases[] = {
      {"C:\\a\\b.exe", "C:\\a\\"},
      {"C:\\a/b/c.exe", "C:\\a/b/"},
      {"C:/a\\b.exe", "C:/a\\"},
      {"b.exe", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(FolderOfModulePath(c.path), c.expected) << c.path;
  char exe[2048] = {};
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  EXPECT_EQ(GetModuleFolder(), FolderOfModulePath(exe));
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\velmor-test\\dorvgame\\path", 0,
                              nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char value[] = "C:\\Games\\Prod";
    RegSetValueExA(key, "Prod", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
    RegCloseKey(key);
  }
  void TearDown() override { SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\velmor-test"); }
};

TEST_F(RegistryTest, PathsWithEitherSeparatorNameTheSameKey) {
  const char* paths[] = {"Software\\velmor-test\\dorvgame\\path",
                         "\\Software\\velmor-test\\dorvgame\\path",
                         "/Software/velmor-test/dorvgame/path",
                         "Software/velmor-test\\dorvgame/path\\"};
  for (const char* path : paths)
    EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, path, "Prod"), "C:\\Games\\Prod") << path;
  EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, "Software\\velmor-test\\none", "Prod"), "");
  EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, "Software\\velmor-test\\dorvgame\\path", "x"),
            "");
  EXPECT_EQ(GetRegistryString(nullptr, "Software", "Prod"), "");
  EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, nullptr, "Prod"), "");
  EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, "Software", nullptr), "");
}

}  // namespace
