#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ArchiveExtraction.h"
#include "InstallTestFiles.h"

using InstallTestFiles::Exists;
using InstallTestFiles::ListFiles;
using InstallTestFiles::ReadWholeFile;
using InstallTestFiles::ScratchFolder;

namespace {

std::wstring WorkingFolder() {
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  return std::wstring(current) + L"\\";
}

// The archives and their expected contents, made by 7zz at build time.
std::wstring ArchivePath(const std::wstring& name) {
  return WorkingFolder() + L"archives\\" + name + L".7z";
}

std::wstring InputFolder(const std::wstring& name) {
  return WorkingFolder() + L"archives\\input\\" + name + L"\\";
}

std::vector<char> LoadArchive(const std::wstring& name) {
  std::vector<char> bytes;
  EXPECT_TRUE(ReadWholeFile(ArchivePath(name), bytes)) << "missing archive";
  return bytes;
}

int Extract(const std::vector<char>& archive, const std::wstring& folder) {
  return ExtractArchiveToDirectory(archive.data(), static_cast<uint32_t>(archive.size()),
                                   folder.c_str());
}

void ExpectSameFiles(const std::wstring& expected, const std::wstring& actual) {
  std::vector<std::wstring> files = ListFiles(expected);
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(files, ListFiles(actual));
  for (const std::wstring& file : files) {
    std::vector<char> want, got;
    ASSERT_TRUE(ReadWholeFile(expected + file, want));
    ASSERT_TRUE(ReadWholeFile(actual + file, got)) << testing::PrintToString(file);
    EXPECT_EQ(want, got) << testing::PrintToString(file);
  }
}

std::string Text(const std::wstring& path) {
  std::vector<char> bytes;
  if (!ReadWholeFile(path, bytes)) return "<missing>";
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

class ExtractsEveryMethod : public testing::TestWithParam<const wchar_t*> {};

TEST_P(ExtractsEveryMethod, FilesComeOutAsTheyWent) {
  ScratchFolder scratch(std::wstring(L"method-") + GetParam());
  std::vector<char> archive = LoadArchive(GetParam());
  ASSERT_FALSE(archive.empty());
  std::wstring target = scratch.Path() + L"plugins\\";
  EXPECT_EQ(0, Extract(archive, target));
  ExpectSameFiles(InputFolder(GetParam()), target);
}

INSTANTIATE_TEST_SUITE_P(SevenZip, ExtractsEveryMethod,
                         testing::Values(L"lzma", L"lzma2", L"bcj", L"bcj2", L"folder"),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                           std::wstring name = info.param;
                           return std::string(name.begin(), name.end());
                         });

TEST(ExtractArchiveToDirectory, FolderEntryAndItsFilesAndAnEmptyFile) {
  ScratchFolder scratch(L"folder");
  std::vector<char> archive = LoadArchive(L"folder");
  EXPECT_EQ(0, Extract(archive, scratch.Path()));
  DWORD attributes = GetFileAttributesW((scratch.Path() + L"sub\\deeper").c_str());
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, attributes);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ("", Text(scratch.Path() + L"empty.txt"));
  // A second run over what is there already replaces it without error.
  EXPECT_EQ(0, Extract(archive, scratch.Path()));
  ExpectSameFiles(InputFolder(L"folder"), scratch.Path());
}

TEST(ExtractArchiveToDirectory, ForwardSlashFolderIsCreatedWithBackslashes) {
  ScratchFolder scratch(L"slashes");
  std::vector<char> archive = LoadArchive(L"lzma2");
  std::wstring slashed = scratch.Path() + L"one/two/three";
  EXPECT_EQ(0, Extract(archive, slashed));
  ExpectSameFiles(InputFolder(L"lzma2"), scratch.Path() + L"one\\two\\three\\");
}

TEST(ExtractArchiveToDirectory, ReplacesOlderFiles) {
  ScratchFolder scratch(L"replace");
  ASSERT_TRUE(InstallTestFiles::WriteWholeFile(scratch.Path() + L"a.txt", "older and longer text"));
  EXPECT_EQ(0, Extract(LoadArchive(L"lzma"), scratch.Path()));
  ExpectSameFiles(InputFolder(L"lzma"), scratch.Path());
}

TEST(ExtractArchiveToDirectory, AttributesKeepOnlyWindowsBits) {
  ScratchFolder scratch(L"attributes");
  EXPECT_EQ(0, Extract(LoadArchive(L"attributes"), scratch.Path()));
  DWORD locked = GetFileAttributesW((scratch.Path() + L"locked.txt").c_str());
  DWORD plain = GetFileAttributesW((scratch.Path() + L"plain.txt").c_str());
  EXPECT_TRUE(locked & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(plain & FILE_ATTRIBUTE_READONLY);
  for (DWORD attributes : {locked, plain}) {
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_EQ(0u, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY |
                                                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL));
  }
  EXPECT_EQ("read only", Text(scratch.Path() + L"locked.txt"));
}

TEST(ExtractArchiveToDirectory, AnEarlierFileInUseIsReportedThoughLaterFilesSucceed) {
  ScratchFolder scratch(L"inuse");
  InstallTestFiles::HeldFile held(scratch.Path() + L"a.txt");
  ASSERT_TRUE(held.IsOpen());
  EXPECT_EQ(kExtractCannotCreate, Extract(LoadArchive(L"inuse"), scratch.Path()));
  EXPECT_EQ("second", Text(scratch.Path() + L"b.txt"));
  EXPECT_EQ("third", Text(scratch.Path() + L"c.txt"));
}

TEST(ExtractArchiveToDirectory, HostileNamesRefuseTheWholeArchive) {
  for (const wchar_t* name :
       {L"dotdot", L"dotdotslash", L"nested", L"absolute", L"unc", L"drive", L"dots"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
    ScratchFolder scratch(std::wstring(L"hostile-") + name);
    std::wstring inner = scratch.Path() + L"inner\\";
    EXPECT_EQ(kExtractUnsafeName, Extract(LoadArchive(name), inner));
    EXPECT_TRUE(ListFiles(scratch.Path()).empty());
    EXPECT_FALSE(Exists(scratch.Path() + L"evil.txt"));
    EXPECT_FALSE(Exists(L"C:\\evil.txt"));
    EXPECT_FALSE(Exists(L"\\evil12.txt"));
  }
}

TEST(ExtractArchiveToDirectory, DamagedArchivesFailWithTheirCodes) {
  ScratchFolder scratch(L"damaged");
  EXPECT_EQ(kExtractBadArchiveOrShortWrite, Extract(LoadArchive(L"truncated"), scratch.Path()));
  int corrupt = Extract(LoadArchive(L"corrupt"), scratch.Path());
  EXPECT_GT(corrupt, 0);
  std::vector<char> garbage(1000, 'x');
  EXPECT_EQ(kExtractBadArchiveOrShortWrite, Extract(garbage, scratch.Path()));
  EXPECT_EQ(kExtractCannotCreate,
            ExtractArchiveToDirectory(garbage.data(), 0, scratch.Path().c_str()));
}

TEST(ExtractArchiveToDirectory, TooLongFolderIsRefused) {
  std::vector<char> archive = LoadArchive(L"lzma");
  std::wstring folder = L"C:\\" + std::wstring(2044, L'x');
  EXPECT_EQ(kExtractFolderTooLong, Extract(archive, folder));
  EXPECT_NE(kExtractFolderTooLong, Extract(archive, L"C:\\" + std::wstring(2040, L'x')));
}

TEST(ExtractArchiveToDirectory, TooLongEntryNameRefusesTheArchive) {
  ScratchFolder scratch(L"longname");
  EXPECT_EQ(kExtractNameTooLong, Extract(LoadArchive(L"longname"), scratch.Path()));
  EXPECT_TRUE(ListFiles(scratch.Path()).empty());
}

// The launcher's own PACKAGE 147 input, as the build packed it.
TEST(ExtractArchiveToDirectory, LauncherPluginArchiveHoldsThePlugins) {
  ScratchFolder scratch(L"plugins");
  std::vector<char> archive;
  ASSERT_TRUE(ReadWholeFile(WorkingFolder() + L"..\\..\\..\\launcher\\resources\\plugins.7z",
                            archive));
  EXPECT_EQ(0, Extract(archive, scratch.Path()));
  std::vector<std::wstring> expected;
  for (const char* name : {VELMOR_PLUGIN_FILE_NAMES}) {
    std::string text = name;
    if (!text.empty()) expected.push_back(std::wstring(text.begin(), text.end()));
  }
  std::sort(expected.begin(), expected.end());
  if (expected.empty()) expected.push_back(L"no-plugins.txt");
  EXPECT_EQ(expected, ListFiles(scratch.Path()));
}
