// The publisher: a small product published in-process, its tree checked
// name by name, every image walked and decoded back to its source, the
// configuration files read back with the library's own readers, and the
// images merged into a real local store.
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "DownloadImageBuilder.h"
#include "DownloadPackageName.h"
#include "DownloadPackageWalker.h"
#include "DownloadTreeBuilder.h"
#include "EntryCodec.h"
#include "FileLinkConfig.h"
#include "FileSystem.h"
#include "FileSystemFacade.h"
#include "GroupFileList.h"
#include "PackageFormat.h"
#include "PublisherManifest.h"
#include "ResourceGroupConfig.h"
#include "ResourceName.h"
#include "SingleFileList.h"
#include "TestSupport.h"
#include "UpdateRuleFile.h"
#include "UpdateRuleList.h"
#include "VersionConfig.h"

using FileSystem::FileIndexEntry;
using FileSystem::ResourceKey;
using Publisher::DownloadTree;
using Publisher::DownloadTreeBuilder;
using Publisher::Manifest;
using TestSupport::TempFolder;
using TestSupport::WriteWholeFile;

namespace {

using TestSupport::Compressible;
using TestSupport::Random;

ResourceKey Key(const std::string& name) { return FileSystem::HashResourceName(name.c_str()); }

struct Entry {
  FileIndexEntry index;
  std::string stored;  // the stored data as the image carries it
};

// Checks an image the way a download worker and the adder do, and returns
// its entries in slot order.
testing::AssertionResult ReadImage(const std::vector<uint8_t>& image, std::vector<Entry>* entries) {
  entries->clear();
  if (image.size() <= FileSystem::kPackageHeaderSize) return testing::AssertionFailure() << "too short";
  const FileSystem::PackageHeader header = FileSystem::ParsePackageHeader(image.data());
  if (header.magic != FileSystem::kPackageMagic) return testing::AssertionFailure() << "magic";
  if (header.usedEnd != image.size()) return testing::AssertionFailure() << "usedEnd";
  const uint32_t crc = static_cast<uint32_t>(
      crc32(0L, image.data() + 12, static_cast<uInt>(image.size() - 12)));
  if (header.counter != crc) return testing::AssertionFailure() << "counter is not the CRC-32";
  // Every block has the capacity the library uses.
  for (uint32_t block = 12; block != 0;) {
    const FileSystem::IndexBlockHeader b = FileSystem::ParseBlockHeader(image.data() + block);
    if (b.capacity != FileSystem::kBlockCapacity) return testing::AssertionFailure() << "capacity";
    block = b.next;
  }
  const FileSystem::WalkResult result = FileSystem::WalkDownloadPackage(
      image.data(), static_cast<uint32_t>(image.size()), [&](const FileIndexEntry& e) {
        entries->push_back(Entry{e, std::string(reinterpret_cast<const char*>(image.data() + e.offset),
                                                e.storedSize)});
        return true;
      });
  if (result != FileSystem::WalkResult::kComplete) return testing::AssertionFailure() << "walk";
  return testing::AssertionSuccess();
}

// The content an entry decodes to (after the record of an unpackaged one).
bool Decode(const Entry& e, std::string* content) {
  size_t at = 0;
  if (e.index.flags & FileSystem::kFlagUnpackaged) {
    FileSystem::UnpackagedFileRecord record;
    if (!FileSystem::ParseUnpackagedRecord(reinterpret_cast<const uint8_t*>(e.stored.data()),
                                           e.index.storedSize, &record)) {
      return false;
    }
    at = record.contentOffset;
  }
  const std::string data = e.stored.substr(at);
  const int method = FileSystem::StoredMethod(e.index.method);
  if (method == 0) {
    *content = data;
    return data.size() == e.index.size;
  }
  content->assign(e.index.size, '\0');
  return FileSystem::DecodeEntry(method, reinterpret_cast<const uint8_t*>(data.data()),
                                 static_cast<uint32_t>(data.size()),
                                 reinterpret_cast<uint8_t*>(&(*content)[0]), e.index.size);
}

std::string SingleContent(const DownloadTree& tree, const std::string& name, uint32_t version) {
  auto it = tree.find(FileSystem::FullPackageName(Key(name), version));
  if (it == tree.end()) return "<no package>";
  std::vector<Entry> entries;
  if (!ReadImage(it->second, &entries) || entries.size() != 1) return "<bad image>";
  std::string content;
  return Decode(entries[0], &content) ? content : "<undecodable>";
}

const char kManifest[] =
    "# a small product\n"
    "product demo\n"
    "serverversion 12\n"
    "configversion 3\n"
    "settings DeltaPackageCount=2 KeyDeltaPackageSpace=4 HaveDeltaPackage=true\n"
    "file plain.txt 1 0\n"
    "file lzo.txt 4 1\n"
    "file lzma.txt 6 2\n"
    "file mixed.txt 2 2:1 capacity=100000\n"
    "file noise.bin 3 2\n"
    "file Data\\Empty.dat 1 1 source=empty.dat\n"
    "loose readme.txt 5 1 path=docs/readme.txt attributes=1 time=1234567890123\n"
    "removed old.txt 7\n"
    "link lzo.txt lzo-alias.txt\n"
    "filelink plain.txt plain-alias.txt other-alias.txt\n"
    "group maps 9 whole count=3\n"
    "first lzma.txt lzo-alias.txt\n"
    "sub sounds\n"
    "group sounds 8\n"
    "first noise.bin\n"
    "last mixed.txt\n"
    "sub maps\n"
    "single plain.txt readme.txt\n"
    "rule 2 7\n"
    "rulefile lzma.txt\n"
    "rulegroup sounds\n"
    "delta lzma.txt 4 6\n"
    "delta maps 5 9\n";

struct PublishedProduct : testing::Test {
  void SetUp() override {
    const std::map<std::string, std::string> files = {
        {"plain.txt", "plain text"},          {"lzo.txt", Compressible(5000)},
        {"lzma.txt", Compressible(7000)},      {"mixed.txt", Compressible(3000)},
        {"noise.bin", Random(4000, 7)},        {"empty.dat", ""},
        {"readme.txt", Compressible(900)},
    };
    sources = files;
    for (const auto& f : files) ASSERT_TRUE(WriteWholeFile(folder.File(f.first), f.second));
    std::string error;
    ASSERT_TRUE(Publisher::ParseManifest(kManifest, &manifest, &error)) << error;
    DownloadTreeBuilder builder(manifest, folder.Path());
    ASSERT_TRUE(builder.Build(&tree, &error)) << error;
  }

  std::vector<uint8_t> Config(const std::string& name, uint32_t version) {
    std::string content = SingleContent(tree, name, version);
    return std::vector<uint8_t>(content.begin(), content.end());
  }

  TempFolder folder;
  std::map<std::string, std::string> sources;
  Manifest manifest;
  DownloadTree tree;
};

TEST_F(PublishedProduct, NamesEveryPackageAsTheFileSystemAsksForIt) {
  std::set<std::string> expected;
  auto full = [&](const std::string& name, uint32_t v) {
    expected.insert(FileSystem::FullPackageName(Key(name), v));
  };
  full("plain.txt", 1);
  full("lzo.txt", 4);
  full("lzma.txt", 6);
  full("mixed.txt", 2);
  full("noise.bin", 3);
  full("data/empty.dat", 1);
  full("readme.txt", 5);
  full("old.txt", 7);
  full("version.pcfg", 12);
  full("resourcegroup.pcfg", 3);
  full("filelink.pcfg", 3);
  full("singlefiles.pcfg", 3);
  full("updaterules.pcfg", 3);
  full("updaterule_0.pcfg", 3);
  full("maps.pcfg", 9);
  full("sounds.pcfg", 8);
  full("maps.pak", 9);
  full("sounds.pak", 8);
  expected.insert(FileSystem::DeltaPackageName(Key("lzma.txt"), 4, 6));
  expected.insert(FileSystem::DeltaPackageName(Key("maps.pak"), 5, 9));
  std::set<std::string> names;
  for (const auto& package : tree) names.insert(package.first);
  EXPECT_EQ(names, expected);
}

TEST_F(PublishedProduct, EveryImagePassesTheDownloadChecks) {
  for (const auto& package : tree) {
    std::vector<Entry> entries;
    EXPECT_TRUE(ReadImage(package.second, &entries)) << package.first;
    EXPECT_FALSE(entries.empty()) << package.first;
  }
}

struct ResourceCase {
  const char* name;
  const char* source;
  uint16_t version;
  uint8_t method;  // both nibbles as the image carries them
  uint8_t flags;
};

TEST_F(PublishedProduct, ResourcesDecodeBackWithTheirVersionMethodAndFlags) {
  const ResourceCase cases[] = {
      {"plain.txt", "plain.txt", 1, 0x00, 0},
      {"lzo.txt", "lzo.txt", 4, 0x11, 0},
      {"lzma.txt", "lzma.txt", 6, 0x22, 0},
      {"mixed.txt", "mixed.txt", 2, 0x12, 0},
      // random bytes do not compress: stored as they are
      {"noise.bin", "noise.bin", 3, 0x00, 0},
      // empty content is never compressed
      {"data/empty.dat", "empty.dat", 1, 0x00, 0},
      {"readme.txt", "readme.txt", 5, 0x11, FileSystem::kFlagUnpackaged},
  };
  for (const ResourceCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto it = tree.find(FileSystem::FullPackageName(Key(c.name), c.version));
    ASSERT_NE(it, tree.end());
    std::vector<Entry> entries;
    ASSERT_TRUE(ReadImage(it->second, &entries));
    ASSERT_EQ(entries.size(), 1u);
    const FileIndexEntry& e = entries[0].index;
    EXPECT_EQ(ResourceKey({e.hash1, e.hash2}), Key(c.name));
    EXPECT_EQ(e.version, c.version);
    EXPECT_EQ(e.method, c.method);
    EXPECT_EQ(e.flags, c.flags);
    EXPECT_GE(e.capacity, e.storedSize);
    std::string content;
    ASSERT_TRUE(Decode(entries[0], &content));
    EXPECT_EQ(content, sources.at(c.source));
  }
}

TEST_F(PublishedProduct, ACapacityIsCarriedAndARemovalHasNoContent) {
  std::vector<Entry> entries;
  ASSERT_TRUE(ReadImage(tree.at(FileSystem::FullPackageName(Key("mixed.txt"), 2)), &entries));
  EXPECT_EQ(entries[0].index.capacity, 100000u);
  ASSERT_TRUE(ReadImage(tree.at(FileSystem::FullPackageName(Key("old.txt"), 7)), &entries));
  EXPECT_EQ(entries[0].index.flags, FileSystem::kFlagRemoved);
  EXPECT_EQ(entries[0].index.size, 0u);
  EXPECT_EQ(entries[0].index.storedSize, 0u);
}

TEST_F(PublishedProduct, TheUnpackagedRecordCarriesPathAttributesTimeAndCrc) {
  std::vector<Entry> entries;
  ASSERT_TRUE(ReadImage(tree.at(FileSystem::FullPackageName(Key("readme.txt"), 5)), &entries));
  FileSystem::UnpackagedFileRecord record;
  ASSERT_TRUE(FileSystem::ParseUnpackagedRecord(
      reinterpret_cast<const uint8_t*>(entries[0].stored.data()), entries[0].index.storedSize, &record));
  EXPECT_EQ(record.name, "docs/readme.txt");
  EXPECT_EQ(record.attributes, 1u);
  EXPECT_EQ((static_cast<uint64_t>(record.timeHigh) << 32) | record.timeLow, 1234567890123ull);
  const std::string& content = sources.at("readme.txt");
  EXPECT_EQ(record.crc, static_cast<uint32_t>(crc32(0L, reinterpret_cast<const Bytef*>(content.data()),
                                                    static_cast<uInt>(content.size()))));
}

TEST_F(PublishedProduct, VersionConfigListsEveryResourceAndTheLinks) {
  FileSystem::VersionConfig config;
  const std::vector<uint8_t> bytes = Config("version.pcfg", 12);
  ASSERT_TRUE(config.Parse(bytes.data(), bytes.size()));
  std::map<ResourceKey, uint16_t> versions;
  for (const auto& v : config.versions) versions[v.key] = v.version;
  const std::map<std::string, uint16_t> expected = {
      {"plain.txt", 1}, {"lzo.txt", 4}, {"lzma.txt", 6}, {"mixed.txt", 2}, {"noise.bin", 3},
      {"data/empty.dat", 1}, {"readme.txt", 5}, {"old.txt", 7}, {"resourcegroup.pcfg", 3},
      {"filelink.pcfg", 3}, {"singlefiles.pcfg", 3}, {"updaterules.pcfg", 3},
      {"updaterule_0.pcfg", 3}, {"maps.pcfg", 9}, {"sounds.pcfg", 8}, {"maps.pak", 9},
      {"sounds.pak", 8}};
  EXPECT_EQ(versions.size(), expected.size());
  for (const auto& e : expected) EXPECT_EQ(versions[Key(e.first)], e.second) << e.first;
  EXPECT_EQ(versions.count(Key("version.pcfg")), 0u);
  ASSERT_EQ(config.links.size(), 1u);
  EXPECT_EQ(config.links[0], (FileSystem::LinkGroup{Key("lzo.txt"), {Key("lzo-alias.txt")}}));
}

TEST_F(PublishedProduct, ConfigurationFilesRoundTripThroughTheReaders) {
  std::vector<uint8_t> bytes = Config("resourcegroup.pcfg", 3);
  FileSystem::ResourceGroupConfig groups;
  ASSERT_EQ(groups.Parse(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
            FileSystem::ResourceGroupConfigResult::kOk);
  EXPECT_EQ(groups.settings.deltaPackageCount, 2);
  EXPECT_EQ(groups.settings.keyDeltaPackageSpace, 4);
  EXPECT_FALSE(groups.settings.doubleKeyDeltaPackageSpace);
  EXPECT_EQ(groups.groups, (std::vector<FileSystem::ResourceGroupInfo>{{"maps", true, 3},
                                                                       {"sounds", false, 1}}));

  bytes = Config("maps.pcfg", 9);
  FileSystem::GroupFileList maps;
  ASSERT_TRUE(maps.Parse(bytes.data(), bytes.size()));
  EXPECT_EQ(maps.firstFiles, (std::vector<ResourceKey>{Key("lzma.txt"), Key("lzo-alias.txt")}));
  EXPECT_EQ(maps.subGroups, (std::vector<ResourceKey>{Key("sounds")}));
  EXPECT_TRUE(maps.lastFiles.empty());

  bytes = Config("singlefiles.pcfg", 3);
  FileSystem::SingleFileList singles;
  ASSERT_TRUE(singles.Parse(bytes.data(), bytes.size()));
  EXPECT_EQ(singles.files, (std::vector<ResourceKey>{Key("plain.txt"), Key("readme.txt")}));

  bytes = Config("updaterules.pcfg", 3);
  FileSystem::UpdateRuleList rules;
  ASSERT_TRUE(rules.Parse(bytes.data(), bytes.size()));
  ASSERT_EQ(rules.rules.size(), 1u);
  EXPECT_EQ(FileSystem::UpdateRuleList::KeyOf(rules.rules[0]), (FileSystem::UpdateRuleKey{2, 7}));

  bytes = Config("updaterule_0.pcfg", 3);
  FileSystem::UpdateRuleFile rule;
  ASSERT_TRUE(rule.Parse(bytes.data(), bytes.size()));
  ASSERT_EQ(rule.entries.size(), 2u);
  EXPECT_EQ(rule.entries[0].key, Key("lzma.txt"));
  EXPECT_TRUE(rule.entries[1].isGroup);
  EXPECT_EQ(rule.entries[1].name, "sounds");

  bytes = Config("filelink.pcfg", 3);
  FileSystem::FileLinkConfig links;
  ASSERT_TRUE(links.Parse(bytes.data(), bytes.size()));
  EXPECT_EQ(links.links, (std::vector<FileSystem::LinkGroup>{
                             {Key("plain.txt"), {Key("plain-alias.txt"), Key("other-alias.txt")}}}));
}

std::map<ResourceKey, uint16_t> EntryVersions(const std::vector<uint8_t>& image) {
  std::vector<Entry> entries;
  EXPECT_TRUE(ReadImage(image, &entries));
  std::map<ResourceKey, uint16_t> versions;
  for (const Entry& e : entries) versions[ResourceKey{e.index.hash1, e.index.hash2}] = e.index.version;
  EXPECT_EQ(versions.size(), entries.size()) << "an entry is carried twice";
  return versions;
}

// The whole-group package carries the package key (which marks the group
// done), its configuration, its files through their links, and those of its
// sub-groups once each, although the two groups list each other.
TEST_F(PublishedProduct, AGroupPackageCarriesItsGroupAndSubGroupsOnce) {
  const auto versions = EntryVersions(tree.at(FileSystem::FullPackageName(Key("maps.pak"), 9)));
  const std::map<ResourceKey, uint16_t> expected = {
      {Key("maps.pak"), 9},   {Key("maps.pcfg"), 9},  {Key("lzma.txt"), 6}, {Key("lzo.txt"), 4},
      {Key("sounds.pcfg"), 8}, {Key("noise.bin"), 3}, {Key("mixed.txt"), 2}};
  EXPECT_EQ(versions, expected);
}

TEST_F(PublishedProduct, ADeltaCarriesOnlyWhatChangedAfterItsFromVersion) {
  const auto group = EntryVersions(tree.at(FileSystem::DeltaPackageName(Key("maps.pak"), 5, 9)));
  const std::map<ResourceKey, uint16_t> expectedGroup = {
      {Key("maps.pak"), 9}, {Key("maps.pcfg"), 9}, {Key("lzma.txt"), 6}, {Key("sounds.pcfg"), 8}};
  EXPECT_EQ(group, expectedGroup);
  const auto single = EntryVersions(tree.at(FileSystem::DeltaPackageName(Key("lzma.txt"), 4, 6)));
  EXPECT_EQ(single, (std::map<ResourceKey, uint16_t>{{Key("lzma.txt"), 6}}));
}

TEST_F(PublishedProduct, WritesTheTreeToAFolder) {
  TempFolder out;
  std::string error;
  ASSERT_TRUE(DownloadTreeBuilder::WriteTree(tree, out.File("server/demo"), &error)) << error;
  for (const auto& package : tree) {
    std::string bytes;
    ASSERT_TRUE(TestSupport::ReadWholeFile(out.File("server/demo/" + package.first), &bytes));
    EXPECT_EQ(bytes, std::string(package.second.begin(), package.second.end()));
  }
}

FileSystem::FileSystem* OpenStore(const std::string& folder, bool updateMode,
                                  FileSystem::ILogSystem* log) {
  FileSystemParams params;
  std::memset(&params, 0, sizeof params);
  params.size = 60;
  params.version = 1;
  params.productName = "demo";
  params.dataFolder = folder.c_str();
  params.packageBaseName = "data";
  params.packageExtension = "pak";
  params.maxPackageSize = 10485760;
  params.logSystem = log;
  params.updateMode = updateMode ? 1 : 0;
  return static_cast<FileSystem::FileSystem*>(FileSystem::Create(&params));
}

std::string OpenLocal(FileSystem::FileSystem* store, const std::string& name) {
  FileSystem::IReadFile* file = store->OpenFile(name.c_str(), 2, false, false);
  if (file == nullptr) return "<null>";
  std::string content(static_cast<size_t>(file->GetSize()), '\0');
  const bool ok = content.empty() || file->Read(&content[0], static_cast<uint32_t>(content.size()));
  file->Release();
  return ok ? content : "<short>";
}

// The library's own adder takes every package, and a local file system then
// opens the resources through the published links.
TEST_F(PublishedProduct, TheLibraryMergesEveryPackageIntoALocalStore) {
  TempFolder data;
  TestSupport::RecordingLog log;
  FileSystem::FileSystem* store = OpenStore(data.Path(), true, &log);
  ASSERT_NE(store, nullptr);
  for (const auto& package : tree) {
    FileSystem::DownloadPackageId id;
    ASSERT_TRUE(FileSystem::ParsePackageName(package.first, &id));
    char* buffer = nullptr;
    uint32_t size = 0;
    EXPECT_TRUE(store->Packages().AddDownloadPackage(package.second.data(),
                                                     static_cast<uint32_t>(package.second.size()),
                                                     id.key.hash1, id.key.hash2, id.version,
                                                     &buffer, &size))
        << package.first;
    std::free(buffer);
  }
  store->Release();
  store = OpenStore(data.Path(), false, &log);
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(OpenLocal(store, "lzma.txt"), sources.at("lzma.txt"));
  EXPECT_EQ(OpenLocal(store, "LZO-Alias.txt"), sources.at("lzo.txt"));
  EXPECT_EQ(OpenLocal(store, "plain-alias.txt"), sources.at("plain.txt"));
  EXPECT_EQ(OpenLocal(store, "data/empty.dat"), "");
  EXPECT_EQ(OpenLocal(store, "noise.bin"), sources.at("noise.bin"));
  store->Release();
  std::string loose;
  ASSERT_TRUE(TestSupport::ReadWholeFile(data.File("docs/readme.txt"), &loose));
  EXPECT_EQ(loose, sources.at("readme.txt"));
}

TEST(DownloadImageBuilderTest, ChainsABlockForEveryThousandEntries) {
  Publisher::DownloadImageBuilder builder;
  std::string error;
  for (uint32_t i = 0; i < 2001; ++i) {
    Publisher::ImageEntry e;
    e.key = ResourceKey{i, ~i};
    e.version = 1;
    e.content.assign(i % 7, static_cast<uint8_t>(i));
    ASSERT_TRUE(builder.Add(e, &error)) << error;
  }
  std::vector<uint8_t> image;
  ASSERT_TRUE(builder.Build(&image, &error)) << error;
  std::vector<Entry> entries;
  ASSERT_TRUE(ReadImage(image, &entries));
  ASSERT_EQ(entries.size(), 2001u);
  for (uint32_t i = 0; i < 2001; ++i) {
    EXPECT_EQ(entries[i].index.hash1, i);
    EXPECT_EQ(entries[i].stored, std::string(i % 7, static_cast<char>(i)));
  }
  int blocks = 0;
  for (uint32_t block = 12; block != 0; block = FileSystem::ParseBlockHeader(image.data() + block).next) {
    ++blocks;
  }
  EXPECT_EQ(blocks, 3);
}

TEST(DownloadImageBuilderTest, AnEmptyImageHasOneEmptyBlock) {
  Publisher::DownloadImageBuilder builder;
  std::vector<uint8_t> image;
  std::string error;
  ASSERT_TRUE(builder.Build(&image, &error));
  EXPECT_EQ(image.size(), FileSystem::kEmptyUsedEnd);
  std::vector<Entry> entries;
  EXPECT_TRUE(ReadImage(image, &entries));
  EXPECT_TRUE(entries.empty());
}

TEST(DownloadImageBuilderTest, RefusesAnUnpackagedPathThatDoesNotFitItsLengthByte) {
  Publisher::DownloadImageBuilder builder;
  Publisher::ImageEntry e;
  e.unpackaged = true;
  std::string error;
  e.path = std::string(256, 'p');
  EXPECT_FALSE(builder.Add(e, &error));
  e.path = "";
  EXPECT_FALSE(builder.Add(e, &error));
  e.path = std::string(255, 'p');
  EXPECT_TRUE(builder.Add(e, &error)) << error;
}

}  // namespace
