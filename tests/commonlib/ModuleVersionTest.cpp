// Version texts of a module's version resource.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "ModuleVersion.h"

namespace {

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

class LoadedModule {
 public:
  explicit LoadedModule(const wchar_t* name)
      : module_(LoadLibraryExW((ProgramFolder() + name).c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE)) {}
  ~LoadedModule() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  HMODULE Get() const { return module_; }

 private:
  HMODULE module_;
};

TEST(ModuleVersionTest, ReadsTheFileVersionOfTheEnglishTranslation) {
  HMODULE module = LoadLibraryW((ProgramFolder() + L"version_game.dll").c_str());
  ASSERT_NE(nullptr, module);
  wchar_t buffer[kModuleVersionBufferUnits];
  EXPECT_TRUE(GetModuleFileVersion(module, buffer));
  EXPECT_STREQ(L"1.2.3.4", buffer);
  std::wstring text;
  EXPECT_TRUE(GetModuleVersionString(module, L"ProductName", &text));
  EXPECT_EQ(L"Velmor Sample Game", text);
  EXPECT_TRUE(GetModuleVersionString(module, L"CompanyName", &text));
  EXPECT_EQ(L"Velmor Sample Studio", text);
  EXPECT_FALSE(GetModuleVersionString(module, L"NoSuchKey", &text));
  FreeLibrary(module);
}

TEST(ModuleVersionTest, AnotherTranslationOnlyAnswersFalse) {
  HMODULE module = LoadLibraryW((ProgramFolder() + L"version_game_initonly.dll").c_str());
  ASSERT_NE(nullptr, module);
  wchar_t buffer[kModuleVersionBufferUnits];
  EXPECT_FALSE(GetModuleFileVersion(module, buffer));
  FreeLibrary(module);
}

TEST(ModuleVersionTest, NullBufferOrNoResourceAnswersFalse) {
  wchar_t buffer[kModuleVersionBufferUnits];
  EXPECT_FALSE(GetModuleFileVersion(GetModuleHandleW(nullptr), nullptr));
  EXPECT_FALSE(GetModuleFileVersion(GetModuleHandleW(nullptr), buffer))
      << "the test program has no version resource";
}

}  // namespace
