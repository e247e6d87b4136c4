// The registry helpers on a private key below HKEY_CURRENT_USER.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "Registry.h"

namespace {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base = L"Software\\VelmorRegistryTest" + std::to_wstring(GetCurrentProcessId());
    baseA = "Software\\VelmorRegistryTest" + std::to_string(GetCurrentProcessId());
    DeleteRegistryTree(HKEY_CURRENT_USER, base.c_str());
  }
  void TearDown() override { DeleteRegistryTree(HKEY_CURRENT_USER, base.c_str()); }

  bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(key);
    return true;
  }

  std::wstring base;
  std::string baseA;
};

TEST_F(RegistryTest, MixedSeparatorsCreateNestedKeysAndSetTheValue) {
  std::wstring path = L"\\" + base + L"\\first/second\\";
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, path.c_str(), L"Name", L"value one"));
  EXPECT_TRUE(KeyExists(base + L"\\first\\second"));
  EXPECT_EQ("value one",
            GetRegistryString(HKEY_CURRENT_USER, (baseA + "/first\\second").c_str(), "Name"));
  EXPECT_EQ("value one",
            GetRegistryString(HKEY_CURRENT_USER, ("\\" + baseA + "\\first/second\\").c_str(),
                              "Name"));
}

TEST_F(RegistryTest, EmptyPathSetsTheValueDirectlyUnderRoot) {
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, base.c_str(), L"", L"x"));
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, base.c_str(), 0, KEY_ALL_ACCESS, &key));
  EXPECT_TRUE(SetRegistryString(key, L"", L"Direct", L"here"));
  EXPECT_TRUE(SetRegistryString(key, L"\\", L"Slash", L"too"));
  EXPECT_EQ("here", GetRegistryString(key, "", "Direct"));
  EXPECT_EQ("too", GetRegistryString(key, "/", "Slash"));
  RegCloseKey(key);
}

TEST_F(RegistryTest, ValueIsStoredWithItsTerminator) {
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, base.c_str(), L"Text", L"abc"));
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, base.c_str(), 0, KEY_READ, &key));
  DWORD type = 0;
  DWORD bytes = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"Text", nullptr, &type, nullptr, &bytes));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(8u, bytes);
  RegCloseKey(key);
}

TEST_F(RegistryTest, NullArgumentsFail) {
  EXPECT_FALSE(SetRegistryString(HKEY_CURRENT_USER, nullptr, L"a", L"b"));
  EXPECT_FALSE(SetRegistryString(HKEY_CURRENT_USER, base.c_str(), nullptr, L"b"));
  EXPECT_FALSE(SetRegistryString(HKEY_CURRENT_USER, base.c_str(), L"a", nullptr));
  EXPECT_EQ("", GetRegistryString(nullptr, baseA.c_str(), "a"));
  EXPECT_EQ("", GetRegistryString(HKEY_CURRENT_USER, nullptr, "a"));
  EXPECT_EQ("", GetRegistryString(HKEY_CURRENT_USER, baseA.c_str(), nullptr));
}

TEST_F(RegistryTest, MissingKeyOrValueReadsEmpty) {
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, base.c_str(), L"Here", L"x"));
  EXPECT_EQ("", GetRegistryString(HKEY_CURRENT_USER, (baseA + "\\missing").c_str(), "Here"));
  EXPECT_EQ("", GetRegistryString(HKEY_CURRENT_USER, baseA.c_str(), "Missing"));
}

TEST_F(RegistryTest, LongValueIsCutAtTheBuffer) {
  std::wstring longValue(5000, L'v');
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, base.c_str(), L"Long", longValue.c_str()));
  EXPECT_EQ("", GetRegistryString(HKEY_CURRENT_USER, baseA.c_str(), "Long"))
      << "a value larger than the buffer does not fit the read";
  std::wstring fits(4095, L'w');
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, base.c_str(), L"Fits", fits.c_str()));
  EXPECT_EQ(std::string(4095, 'w'), GetRegistryString(HKEY_CURRENT_USER, baseA.c_str(), "Fits"));
}

TEST_F(RegistryTest, DeleteTreeRemovesNestedKeys) {
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, (base + L"\\a\\b\\c").c_str(), L"v", L"1"));
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, (base + L"\\a\\d").c_str(), L"v", L"2"));
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, (base + L"\\e").c_str(), L"v", L"3"));
  EXPECT_EQ(ERROR_SUCCESS, DeleteRegistryTree(HKEY_CURRENT_USER, base.c_str()));
  EXPECT_FALSE(KeyExists(base));
}

TEST_F(RegistryTest, DeleteTreeOfAMissingKeyAnswersTheOpenError) {
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, DeleteRegistryTree(HKEY_CURRENT_USER, base.c_str()));
  EXPECT_EQ(ERROR_BADKEY, DeleteRegistryTree(HKEY_CURRENT_USER, L""));
  EXPECT_EQ(ERROR_BADKEY, DeleteRegistryTree(HKEY_CURRENT_USER, nullptr));
}

}  // namespace
