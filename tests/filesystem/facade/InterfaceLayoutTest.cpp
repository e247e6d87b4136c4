// The interfaces are binary contracts between the library and its hosts:
// every operation keeps its virtual slot.
#include <gtest/gtest.h>

#include <cstring>

#include "FileSystem.h"

namespace {

// Slot of a virtual member function under the Itanium C++ ABI that mingw's
// GCC uses: the pointer holds 1 + the byte offset into the vtable.
template <typename Method>
int SlotOf(Method method) {
  static_assert(sizeof(Method) == 2 * sizeof(uintptr_t), "Itanium member pointer");
  uintptr_t words[2];
  std::memcpy(words, &method, sizeof words);
  EXPECT_EQ(words[0] % sizeof(void*), 1u) << "not a virtual function";
  EXPECT_EQ(words[1], 0u);
  return static_cast<int>((words[0] - 1) / sizeof(void*));
}

using FileSystem::IFileSystem;
using FileSystem::IReadFile;
using FileSystem::IWriteFile;

TEST(InterfaceLayout, FileSystemSlots) {
  EXPECT_EQ(SlotOf(&IFileSystem::GetFileHash), 0);
  EXPECT_EQ(SlotOf(&IFileSystem::NormalizePath), 1);
  EXPECT_EQ(SlotOf(&IFileSystem::OpenFile), 2);
  EXPECT_EQ(SlotOf(&IFileSystem::OpenWriteFile), 3);
  EXPECT_EQ(SlotOf(&IFileSystem::IsFileReady), 4);
  EXPECT_EQ(SlotOf(&IFileSystem::UpdateFile), 5);
  EXPECT_EQ(SlotOf(&IFileSystem::HasResourceGroup), 6);
  EXPECT_EQ(SlotOf(&IFileSystem::IsResourceGroupReady), 7);
  EXPECT_EQ(SlotOf(&IFileSystem::UpdateResourceGroup), 8);
  EXPECT_EQ(SlotOf(&IFileSystem::IsAllResourceGroupsReady), 9);
  EXPECT_EQ(SlotOf(&IFileSystem::UpdateAllResourceGroups), 10);
  EXPECT_EQ(SlotOf(&IFileSystem::IsAllReady), 11);
  EXPECT_EQ(SlotOf(&IFileSystem::UpdateAll), 12);
  EXPECT_EQ(SlotOf(&IFileSystem::GetUpdateTaskCount), 13);
  EXPECT_EQ(SlotOf(&IFileSystem::GetUpdateSpeed), 14);
  EXPECT_EQ(SlotOf(&IFileSystem::GetUpdateInfo), 15);
  EXPECT_EQ(SlotOf(&IFileSystem::GetFileUpdateInfo), 16);
  EXPECT_EQ(SlotOf(&IFileSystem::GetResourceGroupUpdateInfo), 17);
  EXPECT_EQ(SlotOf(&IFileSystem::StopUpdate), 18);
  EXPECT_EQ(SlotOf(&IFileSystem::CancelAllUpdateRequests), 19);
  EXPECT_EQ(SlotOf(&IFileSystem::CancelUpdateGroup), 20);
  EXPECT_EQ(SlotOf(&IFileSystem::IsReadyForUpdate), 21);
  EXPECT_EQ(SlotOf(&IFileSystem::GetUpdateState), 22);
  EXPECT_EQ(SlotOf(&IFileSystem::EnableIdleUpdate), 23);
  EXPECT_EQ(SlotOf(&IFileSystem::IsIdleUpdateEnabled), 24);
  EXPECT_EQ(SlotOf(&IFileSystem::IsIdleUpdateFinishied), 25);
  EXPECT_EQ(SlotOf(&IFileSystem::SetIdleUpdateInfo), 26);
  EXPECT_EQ(SlotOf(&IFileSystem::TakeOffUpdatedFiles), 27);
  EXPECT_EQ(SlotOf(&IFileSystem::TakeOffUpdateFailedFiles), 28);
  EXPECT_EQ(SlotOf(&IFileSystem::TakeOffUpdatedResourceGroups), 29);
  EXPECT_EQ(SlotOf(&IFileSystem::TakeOffUpdateFailedResourceGroups), 30);
  EXPECT_EQ(SlotOf(&IFileSystem::Release), 31);
}

TEST(InterfaceLayout, ReadFileSlots) {
  EXPECT_EQ(SlotOf(&IReadFile::Read), 0);
  EXPECT_EQ(SlotOf(&IReadFile::Seek), 1);
  EXPECT_EQ(SlotOf(&IReadFile::Tell), 2);
  EXPECT_EQ(SlotOf(&IReadFile::GetSize), 3);
  EXPECT_EQ(SlotOf(&IReadFile::GetBuffer), 4);
  EXPECT_EQ(SlotOf(&IReadFile::IsBufferOwned), 5);
  EXPECT_EQ(SlotOf(&IReadFile::IsLoading), 6);
  EXPECT_EQ(SlotOf(&IReadFile::IsLoaded), 7);
  EXPECT_EQ(SlotOf(&IReadFile::IsFailed), 8);
  EXPECT_EQ(SlotOf(&IReadFile::GetLoadedSize), 9);
  EXPECT_EQ(SlotOf(&IReadFile::IsDownloading), 10);
  EXPECT_EQ(SlotOf(&IReadFile::IsDownloadSucceeded), 11);
  EXPECT_EQ(SlotOf(&IReadFile::IsDownloadFailed), 12);
  EXPECT_EQ(SlotOf(&IReadFile::GetDownloadedSize), 13);
  EXPECT_EQ(SlotOf(&IReadFile::GetTotalSize), 14);
  EXPECT_EQ(SlotOf(&IReadFile::GetSpeed), 15);
  EXPECT_EQ(SlotOf(&IReadFile::GetVersion), 16);
  EXPECT_EQ(SlotOf(&IReadFile::IsPackaged), 17);
  EXPECT_EQ(SlotOf(&IReadFile::Release), 18);
}

TEST(InterfaceLayout, WriteFileAndLogSlots) {
  EXPECT_EQ(SlotOf(&IWriteFile::Write), 0);
  EXPECT_EQ(SlotOf(&IWriteFile::Seek), 1);
  EXPECT_EQ(SlotOf(&IWriteFile::Tell), 2);
  EXPECT_EQ(SlotOf(&IWriteFile::Flush), 3);
  EXPECT_EQ(SlotOf(&IWriteFile::Release), 4);
  EXPECT_EQ(SlotOf(&FileSystem::ILogSystem::Log), 0);
}

TEST(InterfaceLayout, ParameterBlockIsSixtyBytes) {
  if (sizeof(void*) != 4) GTEST_SKIP() << "the 60-byte layout is the 32-bit target's";
  EXPECT_EQ(sizeof(FileSystemParams), 60u);
  EXPECT_EQ(offsetof(FileSystemParams, extraPackages), 8u);
  EXPECT_EQ(offsetof(FileSystemParams, updateServers), 28u);
  EXPECT_EQ(offsetof(FileSystemParams, updateThreadCount), 36u);
  EXPECT_EQ(offsetof(FileSystemParams, downloadBufferStep), 48u);
  EXPECT_EQ(offsetof(FileSystemParams, logSystem), 52u);
  EXPECT_EQ(offsetof(FileSystemParams, updateMode), 56u);
  EXPECT_EQ(offsetof(FileSystemParams, reserveFirstDownloader), 57u);
  EXPECT_EQ(offsetof(FileSystemParams, idleUpdateEnabled), 58u);
  EXPECT_EQ(offsetof(FileSystemParams, skipHeadRequest), 59u);
}

}  // namespace
