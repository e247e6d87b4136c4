// Where the log's copy of each line goes, by the kind of standard output.
#include <gtest/gtest.h>

#include "StandardOutput.h"
#include "TempFolder.h"

namespace {

TEST(StandardOutputTest, NoOutputAndTheNullDeviceTakeNothing) {
  EXPECT_EQ(StandardOutputUse::Skip, ClassifyStandardOutput(nullptr));
  EXPECT_EQ(StandardOutputUse::Skip, ClassifyStandardOutput(INVALID_HANDLE_VALUE));
  HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, nul);
  EXPECT_EQ(StandardOutputUse::Skip, ClassifyStandardOutput(nul));
  CloseHandle(nul);
}

TEST(StandardOutputTest, FilesAndPipesAreBuffered) {
  TempFolder folder;
  const std::string path = folder.AnsiPath() + "out.txt";
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_EQ(StandardOutputUse::Buffered, ClassifyStandardOutput(file));
  CloseHandle(file);
  HANDLE read = nullptr, write = nullptr;
  ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 0));
  EXPECT_EQ(StandardOutputUse::Buffered, ClassifyStandardOutput(write));
  CloseHandle(read);
  CloseHandle(write);
}

}  // namespace
