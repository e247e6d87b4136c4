// Decoded entries: what is stored as method 0, and damaged encoded entries
// that must not open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EntryCodec.h"
#include "Held.h"
#include "PackageImageWriter.h"
#include "store/PackageManager.h"
#include "StoreTestSupport.h"

using StoreTest::OpenStore;
using StoreTest::ReadAll;
using TestFixtures::PackageImageWriter;
using TestSupport::RecordingLog;
using TestSupport::TempFolder;

namespace {

std::string Incompressible(size_t n) {
  std::string s(n, '\0');
  uint32_t x = 2463534242u;
  for (size_t i = 0; i < n; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    s[i] = static_cast<char>(x);
  }
  return s;
}

std::string Encoded(int method, const std::string& content) {
  std::vector<uint8_t> out;
  EXPECT_EQ(FileSystem::EncodeEntry(method, reinterpret_cast<const uint8_t*>(content.data()),
                                    static_cast<uint32_t>(content.size()), &out),
            method);
  return std::string(out.begin(), out.end());
}

TEST(Compression, EncodedEntriesOpenAsMemoryFilesWithATrailingZero) {
  TempFolder folder;
  PackageImageWriter image;
  const std::string text(10000, 'c');
  int lzo = -1, lzma = -1;
  image.AddEncoded("lzo", 1, text, 1, &lzo);
  image.AddEncoded("lzma", 1, text, 2, &lzma);
  ASSERT_EQ(lzo, 1);
  ASSERT_EQ(lzma, 2);
  ASSERT_TRUE(image.WriteTo(folder.File("data_1.pak")));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  for (const char* name : {"lzo", "lzma"}) {
    TestFixtures::Held<FileSystem::IReadFile> file(fs->OpenFile(name, 2, false, false));
    ASSERT_NE(file, nullptr) << name;
    EXPECT_TRUE(file->IsBufferOwned());
    EXPECT_EQ(file->GetBuffer()[10000], 0);
    EXPECT_EQ(ReadAll(file.release()), text);
  }
}

TEST(Compression, IncompressibleAndEmptyContentIsStoredAsIs) {
  for (int wanted : {1, 2}) {
    for (const std::string& content : {Incompressible(4096), std::string()}) {
      std::vector<uint8_t> out;
      EXPECT_EQ(FileSystem::EncodeEntry(wanted, reinterpret_cast<const uint8_t*>(content.data()),
                                        static_cast<uint32_t>(content.size()), &out),
                0);
      EXPECT_EQ(std::string(out.begin(), out.end()), content);
    }
  }
  TempFolder folder;
  PackageImageWriter image;
  int used = -1;
  image.AddEncoded("noise", 1, Incompressible(4096), 2, &used);
  EXPECT_EQ(used, 0);
  ASSERT_TRUE(image.WriteTo(folder.File("data_1.pak")));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  TestFixtures::Held<FileSystem::IReadFile> file(fs->OpenFile("noise", 2, false, false));
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(file->IsBufferOwned());  // a view of the package
  EXPECT_EQ(ReadAll(file.release()), Incompressible(4096));
}

struct Broken {
  const char* label;
  int method;
  int cut;        // bytes removed from the encoded end
  int sizeDelta;  // declared size minus real size
  bool logs;
};

class BrokenEntry : public testing::TestWithParam<Broken> {};

TEST_P(BrokenEntry, FailsToOpen) {
  const Broken& b = GetParam();
  const std::string content = std::string(3000, 'a') + Incompressible(100) + std::string(3000, 'b');
  std::string stored = Encoded(b.method, content);
  stored.resize(stored.size() - b.cut);
  TempFolder folder;
  PackageImageWriter image;
  image.AddEntry("broken", 1, stored, static_cast<uint32_t>(content.size() + b.sizeDelta),
                 b.method);
  ASSERT_TRUE(image.WriteTo(folder.File("data_1.pak")));
  RecordingLog log;
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false, &log));
  ASSERT_NE(fs, nullptr);
  EXPECT_EQ(fs->OpenFile("broken", 2, false, false), nullptr);
  EXPECT_EQ(log.Contains("Decompress file failed when open file \"broken\"."), b.logs);
}

INSTANTIATE_TEST_SUITE_P(Cases, BrokenEntry,
                         testing::Values(Broken{"cutLzma", 2, 20, 0, true},
                                         Broken{"cutLzo", 1, 20, 0, true},
                                         Broken{"lzoLonger", 1, 0, 1, true},
                                         Broken{"lzoShorter", 1, 0, -1, true},
                                         Broken{"lzmaSizeDiffers", 2, 0, -1, false}),
                         [](const testing::TestParamInfo<Broken>& i) {
                           return std::string(i.param.label);
                         });

TEST(Compression, AStoredEntryWhoseSizeDiffersFromItsStoredSizeDoesNotOpen) {
  TempFolder folder;
  PackageImageWriter image;
  image.AddEntry("odd", 1, "abc", 4, 0);
  image.AddEntry("method3", 1, "abc", 3, 3);
  ASSERT_TRUE(image.WriteTo(folder.File("data_1.pak")));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  EXPECT_EQ(fs->OpenFile("odd", 2, false, false), nullptr);
  EXPECT_EQ(fs->OpenFile("method3", 2, false, false), nullptr);
}

}  // namespace

namespace {

// A large decoded entry's buffer goes back for reuse when its file ends; the
// next file gets a buffer of its own size with its own content and 0 byte.
TEST(Compression, ALargeDecodedBufferReleasedServesTheNextOpenWithItsOwnContent) {
  const std::string first = std::string(300000, 'x') + Incompressible(1000);
  const std::string second = std::string(290000, 'y') + Incompressible(2000);
  TempFolder folder;
  PackageImageWriter image;
  image.AddEntry("first", 1, Encoded(1, first), static_cast<uint32_t>(first.size()), 1);
  image.AddEntry("second", 1, Encoded(2, second), static_cast<uint32_t>(second.size()), 2);
  ASSERT_TRUE(image.WriteTo(folder.File("data_1.pak")));
  FileSystem::FileSystem* fs = OpenStore(folder.Path(), false);
  ASSERT_NE(fs, nullptr);
  FileSystem::IReadFile* file = fs->OpenFile("first", 2, false, false);
  ASSERT_NE(file, nullptr);
  const char* used = file->GetBuffer();
  EXPECT_EQ(ReadAll(file), first);  // released there
  // Both sizes share a class, so the second takes the block the first gave.
  file = fs->OpenFile("second", 2, false, false);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->GetBuffer(), used);
  EXPECT_EQ(file->GetSize(), static_cast<int32_t>(second.size()));
  EXPECT_EQ(file->GetBuffer()[second.size()], 0);
  EXPECT_EQ(ReadAll(file), second);
  fs->Release();
}

}  // namespace
