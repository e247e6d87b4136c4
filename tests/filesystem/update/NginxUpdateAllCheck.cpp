// Run by nginx-update-all.sh: the update-all product, with a few resources
// large enough to take many receive calls, is published into the folder
// that Debian's nginx serves; the file system brings everything up to date
// from nginx, and a file system in local mode then reads every resource
// back byte for byte.
#include <cstdlib>
#include <string>

#include "Held.h"
#include "UpdateHarness.h"

using FileSystem::IFileSystem;
using UpdateTests::Eventually;

namespace {

const char* const kLargeResources =
    "file noise.bin 1 0\n"
    "file score.txt 2 2\n"
    "file script.txt 1 1\n"
    "group media 1\n"
    "first noise.bin score.txt\n"
    "single script.txt\n";

class NginxUpdateAll : public UpdateTests::UpdateAllTest {};

TEST_F(NginxUpdateAll, BringsEveryResourceUpToDateThatLocalModeThenReads) {
  const char* origin = std::getenv("VELMOR_NGINX_ORIGIN");
  const char* root = std::getenv("VELMOR_NGINX_ROOT");
  if (origin == nullptr || root == nullptr) GTEST_SKIP() << "no nginx to talk to";
  ASSERT_TRUE(PublishProduct(kLargeResources,
                             {{"noise.bin", TestSupport::Random(1536 * 1024 + 7, 11)},
                              {"score.txt", TestSupport::Compressible(300 * 1024)},
                              {"script.txt", TestSupport::Compressible(700 * 1024 + 3)}}));
  ASSERT_TRUE(WriteTree(root));
  origin_ = origin;

  TestFixtures::Held<IFileSystem> updating(StartReady());
  ASSERT_NE(updating, nullptr);
  EXPECT_TRUE(updating->UpdateAll());
  ASSERT_TRUE(Eventually([&] { return updating->IsAllReady(); }));
  EXPECT_TRUE(updating->IsAllResourceGroupsReady());
  EXPECT_TRUE(updating->IsResourceGroupReady("media"));
  ExpectEverythingLocal(updating);
  updating.reset();
  // Everything came from nginx.
  EXPECT_EQ(http_.RequestCount(), 0u);

  TestFixtures::Held<IFileSystem> local(Start(updateServer_.Port(), 0));
  ASSERT_NE(local, nullptr);
  EXPECT_EQ(local->GetUpdateState(), FileSystem::kStateDisabled);
  ExpectContents(local);
}

}  // namespace
