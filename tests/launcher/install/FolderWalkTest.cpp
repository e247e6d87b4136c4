#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "FolderWalk.h"
#include "InstallTestFiles.h"

using InstallTestFiles::Exists;
using InstallTestFiles::ScratchFolder;
using InstallTestFiles::WriteWholeFile;

namespace {

void MakeFolders(const std::wstring& root, std::initializer_list<const wchar_t*> folders) {
  for (const wchar_t* folder : folders) CreateDirectoryW((root + folder).c_str(), nullptr);
}

}  // namespace

TEST(FolderWalk, ListsEveryFileDepthFirst) {
  ScratchFolder scratch(L"list");
  MakeFolders(scratch.Path(), {L"a", L"a\\b", L"c"});
  ASSERT_TRUE(WriteWholeFile(scratch.Path() + L"top.txt", "x"));
  ASSERT_TRUE(WriteWholeFile(scratch.Path() + L"a\\b\\deep.txt", "x"));
  ASSERT_TRUE(WriteWholeFile(scratch.Path() + L"c\\other.txt", "x"));
  std::vector<std::wstring> files;
  std::wstring withoutSeparator = scratch.Path().substr(0, scratch.Path().size() - 1);
  ListFilesRecursive(withoutSeparator, files);
  std::sort(files.begin(), files.end());
  std::vector<std::wstring> expected = {scratch.Path() + L"a\\b\\deep.txt",
                                        scratch.Path() + L"c\\other.txt",
                                        scratch.Path() + L"top.txt"};
  EXPECT_EQ(expected, files);
  files.clear();
  ListFilesRecursive(L"", files);
  EXPECT_TRUE(files.empty());
}

TEST(FolderWalk, FolderOfEmptyFoldersGoesWithThem) {
  ScratchFolder scratch(L"empty");
  std::wstring root = scratch.Path() + L"product\\";
  MakeFolders(scratch.Path(), {L"product", L"product\\a", L"product\\a\\b", L"product\\c"});
  EXPECT_TRUE(RemoveEmptyFolders(root));
  EXPECT_FALSE(Exists(root));
}

TEST(FolderWalk, LeftoverFileKeepsItsFoldersWhileEmptyOnesGo) {
  ScratchFolder scratch(L"leftover");
  std::wstring root = scratch.Path() + L"product";
  MakeFolders(scratch.Path(), {L"product", L"product\\keep", L"product\\empty", L"product\\e\\f"});
  ASSERT_TRUE(WriteWholeFile(root + L"\\keep\\save.dat", "x"));
  EXPECT_FALSE(RemoveEmptyFolders(root));
  EXPECT_TRUE(Exists(root + L"\\keep\\save.dat"));
  EXPECT_FALSE(Exists(root + L"\\empty"));
  EXPECT_FALSE(Exists(root + L"\\e"));
  EXPECT_FALSE(RemoveEmptyFolders(L""));
}

TEST(FolderWalk, ReparsePointsAreNeitherFollowedNorRemoved) {
  ScratchFolder scratch(L"reparse");
  std::wstring outside = scratch.Path() + L"outside\\";
  std::wstring product = scratch.Path() + L"product\\";
  MakeFolders(scratch.Path(), {L"outside", L"outside\\empty", L"product"});
  ASSERT_TRUE(WriteWholeFile(outside + L"precious.log", "x"));
  typedef BOOLEAN(WINAPI * CreateLink)(LPCWSTR, LPCWSTR, DWORD);
  CreateLink create = reinterpret_cast<CreateLink>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CreateSymbolicLinkW")));
  std::wstring link = product + L"link";
  if (create == nullptr || !create(link.c_str(), outside.c_str(), 1 /* a folder */))
    GTEST_SKIP() << "no folder links on this system";
  DWORD attributes = GetFileAttributesW(link.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    GTEST_SKIP() << "the link is no reparse point here";
  std::vector<std::wstring> files;
  ListFilesRecursive(product, files);
  EXPECT_TRUE(files.empty());
  EXPECT_FALSE(RemoveEmptyFolders(product));
  EXPECT_TRUE(Exists(outside + L"empty"));
  EXPECT_TRUE(Exists(outside + L"precious.log"));
  RemoveDirectoryW(link.c_str());
}
