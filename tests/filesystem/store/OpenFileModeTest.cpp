// Resolution of IFileSystem::OpenFile in local mode, as one table: which of
// the packaged entry, the loose file and the link target each mode finds.
#include <gtest/gtest.h>

#include <direct.h>

#include <string>

#include "Held.h"
#include "PackageImageWriter.h"
#include "StoreTestSupport.h"

using StoreTest::OpenStore;
using StoreTest::ReadAll;
using TestFixtures::PackageImageWriter;
using TestSupport::TempFolder;

namespace {

struct ModeCase {
  const char* name;
  int mode;
  const char* expected;  // "<null>" when nothing opens
};

// Packaged: both.txt, packed.txt, target.txt; loose (in the current folder):
// both.txt, loose.txt, member.txt. member.txt is a link member of target.txt.
class LocalOpenFile : public testing::TestWithParam<ModeCase> {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempFolder();
    PackageImageWriter image;
    image.AddStored("both.txt", 1, "packaged both");
    image.AddStored("packed.txt", 1, "packaged only");
    image.AddStored("target.txt", 1, "link target");
    image.AddStored("filelink.pcfg", 1, TestFixtures::FileLinkConfig({{"target.txt", "member.txt"}}));
    ASSERT_TRUE(image.WriteTo(folder_->File("data_1.pak")));
    ASSERT_TRUE(TestSupport::WriteWholeFile(folder_->File("both.txt"), "loose both"));
    ASSERT_TRUE(TestSupport::WriteWholeFile(folder_->File("loose.txt"), "loose only"));
    ASSERT_TRUE(TestSupport::WriteWholeFile(folder_->File("member.txt"), "loose member"));
    char cwd[MAX_PATH];
    previous_ = _getcwd(cwd, sizeof cwd) != nullptr ? cwd : ".";
    ASSERT_EQ(_chdir(folder_->Path().c_str()), 0);
    fs_ = OpenStore("", false);
    ASSERT_NE(fs_, nullptr);
  }
  static void TearDownTestSuite() {
    if (fs_ != nullptr) fs_->Release();
    _chdir(previous_.c_str());
    delete folder_;
  }
  static TempFolder* folder_;
  static FileSystem::FileSystem* fs_;
  static std::string previous_;
};

TempFolder* LocalOpenFile::folder_ = nullptr;
FileSystem::FileSystem* LocalOpenFile::fs_ = nullptr;
std::string LocalOpenFile::previous_;

TEST_P(LocalOpenFile, FindsWhatTheModeAllows) {
  const ModeCase& c = GetParam();
  for (bool download : {false, true})
    EXPECT_EQ(ReadAll(fs_->OpenFile(c.name, c.mode, download, false)), c.expected)
        << c.name << " mode " << c.mode;
}

INSTANTIATE_TEST_SUITE_P(
    Table, LocalOpenFile,
    testing::Values(
        ModeCase{"both.txt", 0, "packaged both"}, ModeCase{"packed.txt", 0, "packaged only"},
        ModeCase{"loose.txt", 0, "loose only"}, ModeCase{"member.txt", 0, "link target"},
        ModeCase{"missing.txt", 0, "<null>"},
        ModeCase{"both.txt", 1, "loose both"}, ModeCase{"packed.txt", 1, "packaged only"},
        ModeCase{"loose.txt", 1, "loose only"}, ModeCase{"member.txt", 1, "loose member"},
        ModeCase{"missing.txt", 1, "<null>"},
        ModeCase{"both.txt", 2, "packaged both"}, ModeCase{"packed.txt", 2, "packaged only"},
        ModeCase{"loose.txt", 2, "<null>"}, ModeCase{"member.txt", 2, "link target"},
        ModeCase{"BOTH.TXT", 2, "packaged both"},
        ModeCase{"both.txt", 3, "loose both"}, ModeCase{"packed.txt", 3, "<null>"},
        ModeCase{"member.txt", 3, "loose member"}, ModeCase{"target.txt", 3, "<null>"},
        ModeCase{"both.txt", 4, "loose both"}, ModeCase{"packed.txt", 4, "<null>"},
        ModeCase{"loose.txt", 4, "loose only"},
        ModeCase{"both.txt", 5, "<null>"}, ModeCase{"both.txt", -1, "<null>"}));

TEST(OpenFile, ANullNameGivesNullInEveryMode) {
  TempFolder folder;
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  for (int mode = 0; mode <= 4; ++mode) EXPECT_EQ(fs->OpenFile(nullptr, mode, false, false), nullptr);
}

TEST(OpenFile, UpdateModeWithoutAVersionListLogsAndGivesNull) {
  TempFolder folder;
  TestSupport::RecordingLog log;
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), true, &log));
  ASSERT_NE(fs, nullptr);
  EXPECT_EQ(fs->OpenFile("a.txt", 0, true, false), nullptr);
  EXPECT_TRUE(log.Contains("Get file version failed when open file \"a.txt\"."));
}

}  // namespace
