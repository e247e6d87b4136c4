// The plug-in's version resource: two language copies of one English (1252)
// string table, and GetVersion answering its FileVersion.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "BrowserRun.h"
#include "ModuleVersion.h"

namespace {

class DataModule {
 public:
  explicit DataModule(const std::string& path)
      : module_(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
  ~DataModule() {
    if (module_) FreeLibrary(module_);
  }
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

// The raw version block of one language copy.
std::vector<char> VersionBlock(HMODULE module, WORD language) {
  HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1), language);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(module, found);
  const char* bytes = static_cast<const char*>(LockResource(loaded));
  DWORD size = SizeofResource(module, found);
  if (!bytes || !size) return {};
  // VerQueryValueW wants room behind the block for its own conversions.
  std::vector<char> block(bytes, bytes + size);
  block.resize(size * 2 + 2);
  return block;
}

std::wstring Query(std::vector<char>& block, const wchar_t* key) {
  void* value = nullptr;
  UINT length = 0;
  std::wstring path = std::wstring(L"\\StringFileInfo\\040904e4\\") + key;
  if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || !value) return L"(none)";
  return static_cast<const wchar_t*>(value);
}

TEST(VersionResource, BothLanguageCopiesCarryTheEnglishTable) {
  DataModule module(TestFolder() + "npkvtplayer.dll");
  ASSERT_NE(nullptr, module.get());
  const struct {
    WORD language;
    const wchar_t* fileVersion;
  } copies[] = {{2052, L"1.0.0.1"}, {1033, L"1, 0, 0"}};
  for (const auto& copy : copies) {
    SCOPED_TRACE(copy.language);
    std::vector<char> block = VersionBlock(module.get(), copy.language);
    ASSERT_FALSE(block.empty());
    EXPECT_EQ(L"application/npkvtplayer-plugin-kvt", Query(block, L"MIMEType"));
    EXPECT_EQ(L".kvt", Query(block, L"FileExtents"));
    EXPECT_EQ(L"kvtdata", Query(block, L"FileOpenName"));
    EXPECT_EQ(L"Dorv game player for NetScape", Query(block, L"FileDescription"));
    EXPECT_EQ(L"Dorv game player", Query(block, L"ProductName"));
    EXPECT_EQ(L"1.0.0.1", Query(block, L"ProductVersion"));
    EXPECT_EQ(L"npkvtplayer.dll", Query(block, L"InternalName"));
    EXPECT_EQ(L"npkvtplayer.dll", Query(block, L"OriginalFilename"));
    EXPECT_EQ(L"Velmor Games Example Ltd.", Query(block, L"CompanyName"));
    EXPECT_EQ(copy.fileVersion, Query(block, L"FileVersion"));
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0409, static_cast<const WORD*>(value)[0]);
    EXPECT_EQ(1252, static_cast<const WORD*>(value)[1]);
  }
}

// Which copy the system picks depends on the user interface language, so
// the test asks for it and expects that copy's text from GetVersion.
TEST(VersionResource, GetVersionAnswersTheFileVersionOfTheUiLanguageCopy) {
  const LANGID language = GetUserDefaultUILanguage();
  const std::string expected =
      PRIMARYLANGID(language) == LANG_CHINESE ? "\"1.0.0.1\"" : "\"1, 0, 0\"";
  BrowserRun run = RunBrowser("setwindow\ncall GetVersion => " + expected + "\n");
  EXPECT_EQ(0, run.exitCode) << "UI language " << language << "\n" << run.output;
  HMODULE module = LoadLibraryA((TestFolder() + "npkvtplayer_loopback.dll").c_str());
  ASSERT_NE(nullptr, module);
  wchar_t buffer[kModuleVersionBufferUnits];
  EXPECT_TRUE(GetModuleFileVersion(module, buffer));
  EXPECT_EQ(PRIMARYLANGID(language) == LANG_CHINESE ? L"1.0.0.1" : L"1, 0, 0",
            std::wstring(buffer));
  FreeLibrary(module);
}

}  // namespace
