// The publisher program as the demo runs it: a manifest file in, a tree of
// packages out, and a non-zero exit with nothing written for a bad manifest.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "DownloadPackageName.h"
#include "ResourceName.h"
#include "TestSupport.h"

using TestSupport::TempFolder;

namespace {

// The program sits in the build tree's tools folder, three levels above
// this test's folder.
std::string ProgramPath() {
  char self[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string path(self, n);
  for (int i = 0; i < 4; ++i) path = path.substr(0, path.find_last_of("\\/"));
  return path + "\\tools\\publisher\\publisher.exe";
}

DWORD RunProgram(const std::string& commandLine) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::string line = commandLine;
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &process)) {
    return 0xFFFFFFFFu;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0xFFFFFFFFu;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

TEST(PublisherProgramTest, PublishesTheTreeAManifestDescribes) {
  TempFolder folder;
  ASSERT_TRUE(CreateDirectoryA(folder.File("res").c_str(), nullptr));
  ASSERT_TRUE(TestSupport::WriteWholeFile(folder.File("res/hello.txt"), "hello"));
  ASSERT_TRUE(TestSupport::WriteWholeFile(folder.File("product.txt"),
                                          "product demo\nserverversion 3\nfile hello.txt 2 1\n"));
  const std::string out = folder.File("out");
  ASSERT_EQ(RunProgram(Quoted(ProgramPath()) + " " + Quoted(folder.File("product.txt")) + " " +
                Quoted(folder.File("res")) + " " + Quoted(out)),
            0u)
      << ProgramPath();
  std::string bytes;
  const FileSystem::ResourceKey hello = FileSystem::HashResourceName("hello.txt");
  EXPECT_TRUE(TestSupport::ReadWholeFile(out + "/" + FileSystem::FullPackageName(hello, 2), &bytes));
  const FileSystem::ResourceKey version = FileSystem::HashResourceName("version.pcfg");
  EXPECT_TRUE(TestSupport::ReadWholeFile(out + "/" + FileSystem::FullPackageName(version, 3), &bytes));
}

TEST(PublisherProgramTest, ABadManifestFailsAndWritesNothing) {
  TempFolder folder;
  ASSERT_TRUE(TestSupport::WriteWholeFile(folder.File("product.txt"), "product demo\nserverversion 3\nfile missing.txt 1 0\n"));
  const std::string out = folder.File("out");
  EXPECT_EQ(RunProgram(Quoted(ProgramPath()) + " " + Quoted(folder.File("product.txt")) + " " +
                Quoted(folder.Path()) + " " + Quoted(out)),
            1u);
  EXPECT_EQ(GetFileAttributesA(out.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(RunProgram(Quoted(ProgramPath())), 2u);
}

}  // namespace
