// Merging download package images into the local store: packaged entries
// (kept or re-encoded), unpackaged files on disk, busy files moved aside,
// hostile names and images, and the restore pass.
#include <windows.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "EntryCodec.h"
#include "FileSystem.h"
#include "FileSystemFacade.h"
#include "Held.h"
#include "store/PackageFile.h"
#include "PackageFormat.h"
#include "PackageImageWriter.h"
#include "ResourceName.h"
#include "TestSupport.h"

using FileSystem::FileIndexEntry;
using FileSystem::IndexedEntry;
using FileSystem::ResourceKey;
using TestFixtures::PackageImageWriter;
using TestSupport::ReadWholeFile;
using TestSupport::RecordingLog;
using TestSupport::TempFolder;
using TestSupport::WriteWholeFile;

namespace {

using TestSupport::Compressible;
using TestSupport::Random;

constexpr uint64_t kTime = 0x01D5A1B2C3D4E5F0ull;  // some day in 2019

FileSystem::FileSystem* OpenStore(const std::string& folder, bool updateMode, RecordingLog* log) {
  FileSystemParams params;
  std::memset(&params, 0, sizeof params);
  params.size = 60;
  params.version = 1;
  params.productName = "downloadtest";
  params.dataFolder = folder.c_str();
  params.packageBaseName = "data";
  params.packageExtension = "pak";
  params.maxPackageSize = 10485760;
  params.logSystem = log;
  params.updateMode = updateMode ? 1 : 0;
  return static_cast<FileSystem::FileSystem*>(FileSystem::Create(&params));
}

std::string Encoded(int method, const std::string& content) {
  std::vector<uint8_t> out;
  const int used = FileSystem::EncodeEntry(method, reinterpret_cast<const uint8_t*>(content.data()),
                                           static_cast<uint32_t>(content.size()), &out);
  EXPECT_EQ(used, method) << "content does not compress with the method the test wants";
  return std::string(out.begin(), out.end());
}

uint32_t Crc(const std::string& s) {
  return static_cast<uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

ResourceKey Key(const std::string& name) { return FileSystem::HashResourceName(name.c_str()); }

struct Fixture : testing::Test {
  void SetUp() override {
    root = folder.Path() + "\\";
    store.reset(OpenStore(folder.Path(), true, &log));
    ASSERT_NE(store, nullptr);
  }
  void TearDown() override {
    store.reset();
    std::free(buffer);
  }

  bool Add(const PackageImageWriter& image, const std::string& name, uint32_t version) {
    std::free(buffer);
    buffer = nullptr;
    const ResourceKey key = Key(name);
    const std::string& bytes = image.Bytes();
    return store->Packages().AddDownloadPackage(reinterpret_cast<const uint8_t*>(bytes.data()),
                                                static_cast<uint32_t>(bytes.size()), key.hash1,
                                                key.hash2, version, &buffer, &size);
  }

  bool Lookup(const std::string& name, FileIndexEntry* entry) {
    IndexedEntry found;
    if (!store->Packages().LookupEntry(Key(name), &found)) return false;
    *entry = found.entry;
    return true;
  }

  std::string Open(const std::string& name) {
    TestFixtures::Held<FileSystem::IReadFile> file(
        store->Packages().OpenPackagedFile(Key(name), name.c_str(), false));
    if (file == nullptr) return "<null>";
    std::string content(static_cast<size_t>(file->GetSize()), '\0');
    const bool ok = content.empty() || file->Read(&content[0], static_cast<uint32_t>(content.size()));
    file.reset();
    return ok ? content : "<short>";
  }

  void Reopen(bool updateMode) {
    store.reset();
    store.reset(OpenStore(folder.Path(), updateMode, &log));
    ASSERT_NE(store, nullptr);
  }

  TempFolder folder;
  std::string root;
  RecordingLog log;
  TestFixtures::Held<FileSystem::FileSystem> store;
  char* buffer = nullptr;
  uint32_t size = 0;
};

// ---- packaged entries ----

using PackagedEntries = Fixture;

TEST_F(PackagedEntries, EqualNibblesAreStoredUnchanged) {
  PackageImageWriter image(4);
  const std::string lzo = Compressible(3000);
  const std::string lzma = Compressible(5000);
  image.AddStored("plain.txt", 3, "plain content");
  image.AddEncoded("lzo.bin", 4, lzo, FileSystem::kMethodLzo);
  const std::string lzmaStored = Encoded(FileSystem::kMethodLzma, lzma);
  image.AddEntry("lzma.bin", 5, lzmaStored, static_cast<uint32_t>(lzma.size()),
                 FileSystem::kMethodLzma, 0, 9000);
  ASSERT_TRUE(Add(image, "plain.txt", 3));

  FileIndexEntry entry;
  ASSERT_TRUE(Lookup("lzma.bin", &entry));
  EXPECT_EQ(entry.method, 0x22);
  EXPECT_EQ(entry.storedSize, lzmaStored.size());
  EXPECT_EQ(entry.capacity, 9000u);
  EXPECT_EQ(entry.version, 5);
  ASSERT_TRUE(Lookup("lzo.bin", &entry));
  EXPECT_EQ(entry.method, 0x11);
  EXPECT_EQ(Open("plain.txt"), "plain content");
  EXPECT_EQ(Open("lzo.bin"), lzo);
  EXPECT_EQ(Open("lzma.bin"), lzma);
}

struct ReencodeCase {
  const char* label;
  int stored;
  int wanted;
  bool compressible;
  uint8_t expectedMethod;
};

const ReencodeCase kReencodeCases[] = {
    {"lzma wanted lzo that is not shorter", 2, 1, false, 0x00},
    {"stored wanted lzma on compressible content", 0, 2, true, 0x22},
    {"stored wanted lzo on compressible content", 0, 1, true, 0x11},
    {"lzo wanted stored", 1, 0, true, 0x00},
    {"lzma wanted lzo on compressible content", 2, 1, true, 0x11},
    {"stored wanted lzma on random content", 0, 2, false, 0x00},
};

class Reencoding : public Fixture, public testing::WithParamInterface<ReencodeCase> {};

TEST_P(Reencoding, StoresTheMethodActuallyUsedInBothNibbles) {
  const ReencodeCase& c = GetParam();
  const std::string content = c.compressible ? Compressible(4000) : Random(4000, 7);
  std::string stored = content;
  if (c.stored != 0) {
    std::vector<uint8_t> out;
    ASSERT_EQ(FileSystem::EncodeEntry(c.stored, reinterpret_cast<const uint8_t*>(content.data()),
                                      4000, &out),
              c.stored == 2 && !c.compressible ? 0 : c.stored);
    // Random content does not shrink: lay out the block by hand then.
    if (c.stored == 2 && !c.compressible) {
      std::vector<uint8_t> block(4000 + 4000 / 2 + 1024);
      uint32_t length = static_cast<uint32_t>(block.size());
      ASSERT_EQ(FileSystem::LzmaBlockCompress(block.data(), &length,
                                              reinterpret_cast<const uint8_t*>(content.data()),
                                              4000),
                0);
      out.assign(block.begin(), block.begin() + length);
    }
    stored.assign(out.begin(), out.end());
  }
  PackageImageWriter image(2);
  const uint32_t slot = image.AddEntry("file.bin", 2, stored, 4000, c.stored, 0, 20000);
  image.SetMethod(slot, c.stored, c.wanted);
  ASSERT_TRUE(Add(image, "file.bin", 2)) << c.label;
  FileIndexEntry entry;
  ASSERT_TRUE(Lookup("file.bin", &entry));
  EXPECT_EQ(entry.method, c.expectedMethod) << c.label;
  EXPECT_EQ(entry.capacity, 20000u);
  EXPECT_EQ(Open("file.bin"), content) << c.label;
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(size, 4000u);
  EXPECT_EQ(std::string(buffer, size), content);
}

std::string ReencodeName(const testing::TestParamInfo<ReencodeCase>& info) {
  std::string name;
  for (const char* p = info.param.label; *p != '\0'; ++p)
    name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, Reencoding, testing::ValuesIn(kReencodeCases), ReencodeName);

TEST_F(PackagedEntries, RequestedContentIsHandedOutNulTerminated) {
  PackageImageWriter image(4);
  const std::string content = Compressible(2500);
  image.AddStored("other.txt", 1, "other");
  image.AddEncoded("wanted.txt", 6, content, FileSystem::kMethodLzma);
  ASSERT_TRUE(Add(image, "wanted.txt", 6));
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(size, content.size());
  EXPECT_EQ(std::string(buffer, size), content);
  EXPECT_EQ(buffer[size], '\0');
}

TEST_F(PackagedEntries, ContentIsHandedOutOnlyForTheRequestedVersion) {
  PackageImageWriter image(2);
  image.AddStored("wanted.txt", 6, "six");
  ASSERT_TRUE(Add(image, "wanted.txt", 7));
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(size, 0u);
  uint32_t version = 0;
  EXPECT_TRUE(store->Packages().FindEntry(Key("wanted.txt"), &version));
  EXPECT_EQ(version, 6u);
}

TEST_F(PackagedEntries, RemovedRequestedEntryIsStoredAndHandsOutNothing) {
  PackageImageWriter image(2);
  image.AddEntry("gone.txt", 4, "", 0, 0, FileSystem::kFlagRemoved);
  ASSERT_TRUE(Add(image, "gone.txt", 4));
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(size, 0u);
  FileIndexEntry entry;
  ASSERT_TRUE(Lookup("gone.txt", &entry));
  EXPECT_EQ(entry.flags, FileSystem::kFlagRemoved);
  EXPECT_EQ(Open("gone.txt"), "<null>");
}

TEST_F(PackagedEntries, WithoutOutputsNothingIsHandedOut) {
  PackageImageWriter image(2);
  image.AddStored("a.txt", 1, "a");
  const ResourceKey key = Key("a.txt");
  const std::string& bytes = image.Bytes();
  EXPECT_TRUE(store->Packages().AddDownloadPackage(reinterpret_cast<const uint8_t*>(bytes.data()),
                                                   static_cast<uint32_t>(bytes.size()), key.hash1,
                                                   key.hash2, 1, nullptr, nullptr));
  EXPECT_EQ(Open("a.txt"), "a");
}

TEST_F(PackagedEntries, FirstFailingEntryEndsTheWalkAndEarlierEntriesStay) {
  PackageImageWriter image(4);
  image.AddStored("first.txt", 1, "first");
  const uint32_t bad = image.AddEntry("bad.bin", 1, "this is no lzo stream", 400, 1);
  image.SetMethod(bad, 1, 0);
  image.AddStored("after.txt", 1, "after");
  EXPECT_FALSE(Add(image, "group.pak", 1));
  EXPECT_EQ(Open("first.txt"), "first");
  uint32_t version = 0;
  EXPECT_FALSE(store->Packages().FindEntry(Key("bad.bin"), &version));
  EXPECT_FALSE(store->Packages().FindEntry(Key("after.txt"), &version));
  // The message names the package the image was fetched for.
  const ResourceKey key = Key("group.pak");
  char line[160];
  snprintf(line, sizeof line, "Decompress failed when process downloaded package file \"%u, %u\".",
           key.hash1, key.hash2);
  EXPECT_TRUE(log.Contains(line));
}

TEST_F(PackagedEntries, FailureAfterTheRequestedEntryHandsOutNothing) {
  PackageImageWriter image(4);
  image.AddStored("wanted.txt", 1, "wanted");
  image.AddStored("member.txt", 1, "member");
  const uint32_t bad = image.AddEntry("bad.bin", 1, "no lzma block", 100, 2);
  image.SetMethod(bad, 2, 0);
  EXPECT_FALSE(Add(image, "wanted.txt", 1));
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(size, 0u);
  // The package failed, so its own entry, which would mark it as here, was
  // never stored; the member before the failure was.
  EXPECT_EQ(Open("wanted.txt"), "<null>");
  EXPECT_EQ(Open("member.txt"), "member");
}

TEST_F(PackagedEntries, PackagesOwnEntryIsStoredAfterEveryOtherOne) {
  // A group's package carries its own key first; the members come after.
  PackageImageWriter image(4);
  image.AddStored("group.pak", 2, "");
  image.AddStored("one.txt", 1, "one");
  image.AddStored("two.txt", 1, "two");
  ASSERT_TRUE(Add(image, "group.pak", 2));
  IndexedEntry group;
  IndexedEntry two;
  ASSERT_TRUE(store->Packages().LookupEntry(Key("group.pak"), &group));
  ASSERT_TRUE(store->Packages().LookupEntry(Key("two.txt"), &two));
  // Entries of one package file are appended in the order they are stored.
  EXPECT_GT(group.slotOffset, two.slotOffset);
  EXPECT_EQ(Open("one.txt"), "one");
}

TEST_F(PackagedEntries, UnknownWantedMethodFailsWithTheAddMessage) {
  PackageImageWriter image(2);
  const uint32_t slot = image.AddStored("odd.txt", 1, "odd");
  image.SetMethod(slot, 0, 5);
  EXPECT_FALSE(Add(image, "odd.txt", 1));
  const ResourceKey key = Key("odd.txt");
  char line[160];
  snprintf(line, sizeof line,
           "Add Packaged file failed when process downloaded package file \"%u, %u\".", key.hash1,
           key.hash2);
  EXPECT_TRUE(log.Contains(line));
}

TEST_F(PackagedEntries, StoredEntryWhoseSizeDiffersFromItsDataFailsToReencode) {
  PackageImageWriter image(2);
  const uint32_t slot = image.AddEntry("short.txt", 1, "abc", 10, 0);
  image.SetMethod(slot, 0, 2);
  EXPECT_FALSE(Add(image, "short.txt", 1));
  uint32_t version = 0;
  EXPECT_FALSE(store->Packages().FindEntry(Key("short.txt"), &version));
}

// ---- an image laid out by hand ----

// One block of one slot and the LZO1X stream of "hello" (a literal run of
// five and the end marker): size 5, storedSize 9 and capacity 16, so that
// any two of them swapped shows. Bytes 4-7 get the CRC of bytes 12 on.
const uint8_t kHandImage[61] = {
    'H', 'P', 'A', 'K', 0, 0, 0, 0,  // magic, CRC
    0x3D, 0x00, 0x00, 0x00,          // usedEnd: the image's length, 61
    0x01, 0x00, 0x00, 0x00,          // block: capacity 1
    0x01, 0x00, 0x00, 0x00,          //        count 1
    0x00, 0x00, 0x00, 0x00,          //        next 0
    0x0D, 0xF0, 0xAD, 0x0B,          // slot: hash1 0x0BADF00D
    0xEE, 0xFF, 0xC0, 0x00,          //       hash2 0x00C0FFEE
    0x05, 0x00, 0x00, 0x00,          //       size 5
    0x34, 0x00, 0x00, 0x00,          //       offset 52
    0x09, 0x00, 0x00, 0x00,          //       storedSize 9
    0x10, 0x00, 0x00, 0x00,          //       capacity 16
    0x03, 0x00,                      //       version 3
    0x00,                            //       flags
    0x11,                            //       method: LZO stored, LZO wanted
    0x16, 'h', 'e', 'l', 'l', 'o', 0x11, 0x00, 0x00,
};

TEST_F(PackagedEntries, AnImageLaidOutByHandIsStoredFieldForField) {
  std::vector<uint8_t> image(kHandImage, kHandImage + sizeof kHandImage);
  const uint32_t crc = static_cast<uint32_t>(crc32(0L, image.data() + 12, 61 - 12));
  for (int i = 0; i < 4; ++i) image[4 + i] = static_cast<uint8_t>(crc >> (8 * i));
  const ResourceKey key{0x0BADF00D, 0x00C0FFEE};
  ASSERT_TRUE(store->Packages().AddDownloadPackage(image.data(), 61, key.hash1, key.hash2, 3,
                                                   &buffer, &size));
  IndexedEntry found;
  ASSERT_TRUE(store->Packages().LookupEntry(key, &found));
  EXPECT_EQ(found.entry.size, 5u);
  EXPECT_EQ(found.entry.storedSize, 9u);
  EXPECT_EQ(found.entry.capacity, 16u);
  EXPECT_EQ(found.entry.version, 3u);
  EXPECT_EQ(found.entry.method, 0x11);
  TestFixtures::Held<FileSystem::IReadFile> file(
      store->Packages().OpenPackagedFile(key, "", false));
  ASSERT_NE(file, nullptr);
  char content[6] = {};
  EXPECT_EQ(file->GetSize(), 5);
  EXPECT_TRUE(file->Read(content, 5));
  file.reset();
  EXPECT_STREQ(content, "hello");

  // The local slot and data, read back from the package file's own bytes.
  std::string package;
  ASSERT_TRUE(ReadWholeFile(found.package->Path(), &package));
  ASSERT_GE(package.size(), found.slotOffset + 28u);
  const std::string slot = package.substr(found.slotOffset, 28);
  const std::string expected(reinterpret_cast<const char*>(kHandImage) + 24, 28);
  EXPECT_EQ(slot.substr(0, 12), expected.substr(0, 12));  // hashes and size
  EXPECT_EQ(slot.substr(16), expected.substr(16));         // storedSize to method
  const uint32_t offset = static_cast<uint8_t>(slot[12]) | static_cast<uint8_t>(slot[13]) << 8 |
                          static_cast<uint8_t>(slot[14]) << 16 |
                          static_cast<uint32_t>(static_cast<uint8_t>(slot[15])) << 24;
  ASSERT_GE(package.size(), offset + 9u);
  EXPECT_EQ(package.substr(offset, 9),
            std::string(reinterpret_cast<const char*>(kHandImage) + 52, 9));
}

// ---- hostile images ----

struct HostileImageCase {
  const char* label;
  void (*damage)(PackageImageWriter& image);
};

const HostileImageCase kHostileImages[] = {
    {"cycle back to the first block",
     [](PackageImageWriter& im) {
       im.AddBlock(2);
       im.SetNext(1, im.BlockOffset(0));
     }},
    {"slot area past the end", [](PackageImageWriter& im) { im.PutU32(12, 0x00FFFFFF); }},
    {"offset plus stored size past the end",
     [](PackageImageWriter& im) { im.PutU32(12 + 12 + 16, 0x7FFFFFFF); }},
    {"next past the end",
     [](PackageImageWriter& im) { im.SetNext(0, static_cast<uint32_t>(im.Bytes().size())); }},
    {"a good entry before one past the end",
     [](PackageImageWriter& im) {
       im.AddStored("late.txt", 1, "late content");
       im.PutU32(12 + 12 + 28 + 16, 0x7FFFFFFF);
     }},
    {"exactly twelve bytes", [](PackageImageWriter& im) { im.Truncate(12); }},
    {"cut inside the first block", [](PackageImageWriter& im) { im.Truncate(20); }},
};

// Every file below a folder, by its path relative to the folder.
void Snapshot(const std::string& folder, const std::string& below,
              std::map<std::string, std::string>* files) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\" + below + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      Snapshot(folder, below + name + "\\", files);
      continue;
    }
    if (!ReadWholeFile(folder + "\\" + below + name, &(*files)[below + name]))
      (*files)[below + name] = "<unreadable>";
  } while (FindNextFileA(find, &data));
  FindClose(find);
}

void PrintTo(const HostileImageCase& image, std::ostream* out) { *out << image.label; }

class HostileImages : public Fixture, public testing::WithParamInterface<HostileImageCase> {};

TEST_P(HostileImages, AreRejectedWithoutACrashAndLeaveTheStoreByteForByteAsItWas) {
  PackageImageWriter resident(1);
  resident.AddStored("resident.txt", 2, "already here");
  ASSERT_TRUE(Add(resident, "resident.txt", 2));
  std::map<std::string, std::string> before;
  Snapshot(folder.Path(), "", &before);
  ASSERT_FALSE(before.empty());
  for (const auto& file : before) ASSERT_NE(file.second, "<unreadable>") << file.first;
  PackageImageWriter image(2);
  image.AddStored("victim.txt", 1, "victim content");
  GetParam().damage(image);
  // An exact-size heap copy: any read past the end would fault.
  std::vector<uint8_t> exact(image.Bytes().begin(), image.Bytes().end());
  const ResourceKey key = Key("victim.txt");
  EXPECT_FALSE(store->Packages().AddDownloadPackage(exact.data(),
                                                    static_cast<uint32_t>(exact.size()), key.hash1,
                                                    key.hash2, 1, &buffer, &size))
      << GetParam().label;
  std::map<std::string, std::string> after;
  Snapshot(folder.Path(), "", &after);
  EXPECT_EQ(after.size(), before.size());
  for (const auto& file : before)
    EXPECT_TRUE(after[file.first] == file.second) << file.first << " changed";
  uint32_t version = 0;
  EXPECT_FALSE(store->Packages().FindEntry(key, &version));
}

std::string HostileName(const testing::TestParamInfo<HostileImageCase>& info) {
  std::string name;
  for (const char* p = info.param.label; *p != '\0'; ++p)
    name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileImages, testing::ValuesIn(kHostileImages), HostileName);

TEST_F(PackagedEntries, NullImageOrWrongMagicIsRejectedAndOutputsCleared) {
  buffer = static_cast<char*>(std::malloc(1));
  char* stale = buffer;
  size = 5;
  EXPECT_FALSE(store->Packages().AddDownloadPackage(nullptr, 100, 1, 2, 3, &buffer, &size));
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(size, 0u);
  std::free(stale);
  PackageImageWriter image(1);
  image.PutU32(0, 0x4B415049);
  EXPECT_FALSE(Add(image, "x", 1));
}

// ---- unpackaged files ----

struct UnpackagedFiles : Fixture {
  // An unpackaged entry whose record carries content encoded with method.
  uint32_t AddLoose(PackageImageWriter& image, const std::string& name, uint16_t version,
                    const std::string& content, int method = 0, uint32_t attributes = 0x20,
                    uint8_t flags = FileSystem::kFlagUnpackaged) {
    const std::string encoded = method == 0 ? content : Encoded(method, content);
    const std::string record =
        TestFixtures::UnpackagedRecord(name, attributes, kTime, Crc(content), encoded);
    return image.AddEntry(name, version, record, static_cast<uint32_t>(content.size()), method,
                          flags);
  }
};

uint64_t ToU64(const FILETIME& t) {
  return uint64_t{t.dwLowDateTime} | uint64_t{t.dwHighDateTime} << 32;
}

void ExpectAttributesAndTimes(const std::string& path, uint32_t attributes, uint64_t time) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) << path;
  EXPECT_EQ(data.dwFileAttributes, attributes) << path;
  EXPECT_EQ(ToU64(data.ftCreationTime), time) << path;
  EXPECT_EQ(ToU64(data.ftLastAccessTime), time) << path;
  EXPECT_EQ(ToU64(data.ftLastWriteTime), time) << path;
}

TEST_F(UnpackagedFiles, AreWrittenWithAttributesAndAllThreeTimes) {
  PackageImageWriter image(4);
  const std::string text = Compressible(6000);
  AddLoose(image, "bin/sub/tool.cfg", 3, text, FileSystem::kMethodLzma, 0x20);
  AddLoose(image, "hidden.txt", 1, "hidden", 0, 0x22);
  AddLoose(image, "readonly.txt", 1, "read only", 0, 0x21);
  ASSERT_TRUE(Add(image, "bin/sub/tool.cfg", 3));
  // Times first: reading a file moves its last-access time.
  ExpectAttributesAndTimes(root + "bin/sub/tool.cfg", 0x20, kTime);
  ExpectAttributesAndTimes(root + "hidden.txt", 0x22, kTime);
  ExpectAttributesAndTimes(root + "readonly.txt", 0x21, kTime);
  std::string got;
  ASSERT_TRUE(ReadWholeFile(root + "bin/sub/tool.cfg", &got));
  EXPECT_EQ(got, text);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(std::string(buffer, size), text);
  EXPECT_EQ(buffer[size], '\0');
  FileIndexEntry entry;
  ASSERT_TRUE(Lookup("bin/sub/tool.cfg", &entry));
  EXPECT_EQ(entry.flags, FileSystem::kFlagUnpackaged);
  EXPECT_TRUE(store->Packages().IsUnpackaged(Key("bin/sub/tool.cfg")));
}

TEST_F(UnpackagedFiles, ReadOnlyFileIsReplacedByALaterVersion) {
  PackageImageWriter first(1);
  AddLoose(first, "ro.txt", 1, "old", 0, 0x21);
  ASSERT_TRUE(Add(first, "ro.txt", 1));
  PackageImageWriter second(1);
  AddLoose(second, "ro.txt", 2, "new content", 0, 0x21);
  ASSERT_TRUE(Add(second, "ro.txt", 2));
  std::string got;
  ASSERT_TRUE(ReadWholeFile(root + "ro.txt", &got));
  EXPECT_EQ(got, "new content");
  EXPECT_FALSE(GetFileAttributesA((root + "removed_files").c_str()) != INVALID_FILE_ATTRIBUTES);
}

// Files beside name in the root left over from writing it.
std::vector<std::string> LeftoversOf(const std::string& root, const std::string& name) {
  std::vector<std::string> found;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((root + name + ".*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return found;
  // The pattern matches the name itself as well.
  do
    if (name != data.cFileName) found.push_back(data.cFileName);
  while (FindNextFileA(search, &data));
  FindClose(search);
  return found;
}

// Another reader (a second process checking the file, the game) has the old
// version open while the new one arrives. Whatever the reader shares, the
// file at the path is afterwards either the old one or the new one, never
// missing, and nothing is left beside it.
TEST_F(UnpackagedFiles, AFileHeldOpenByAReaderIsReplacedWholeOrLeftAsItWas) {
  const struct {
    const char* name;
    DWORD share;
    bool replaced;
  } kCases[] = {
      {"shares deletion", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true},
      {"shares reading and writing", FILE_SHARE_READ | FILE_SHARE_WRITE, false},
      {"shares reading", FILE_SHARE_READ, false},
  };
  uint16_t version = 0;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string path = root + "held.txt";
    PackageImageWriter first(1);
    AddLoose(first, "held.txt", ++version, "old content");
    ASSERT_TRUE(Add(first, "held.txt", version));
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, c.share, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    PackageImageWriter second(1);
    AddLoose(second, "held.txt", ++version, "new content, longer");
    EXPECT_EQ(Add(second, "held.txt", version), c.replaced);
    char seen[32] = {};
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(reader, seen, sizeof seen, &got, nullptr));
    EXPECT_EQ(std::string(seen, got), "old content") << "the reader keeps what it opened";
    CloseHandle(reader);
    std::string now;
    ASSERT_TRUE(ReadWholeFile(path, &now)) << "the file must never be left missing";
    EXPECT_EQ(now, c.replaced ? "new content, longer" : "old content");
    EXPECT_TRUE(LeftoversOf(root, "held.txt").empty()) << LeftoversOf(root, "held.txt")[0];
  }
}

TEST_F(UnpackagedFiles, ReencodedRecordKeepsItsHeadAndStoresTheNewMethod) {
  PackageImageWriter image(2);
  const std::string text = Compressible(5000);
  const uint32_t slot = AddLoose(image, "notes.txt", 2, text, 0);
  image.SetMethod(slot, 0, 2);
  ASSERT_TRUE(Add(image, "notes.txt", 2));
  FileIndexEntry entry;
  ASSERT_TRUE(Lookup("notes.txt", &entry));
  EXPECT_EQ(entry.method, 0x22);
  EXPECT_EQ(entry.size, text.size());
  EXPECT_LT(entry.storedSize, 17u + 9u + text.size());
  // The restore pass decodes the re-encoded record.
  Reopen(false);
  ASSERT_TRUE(DeleteFileA((root + "notes.txt").c_str()));
  EXPECT_TRUE(store->Packages().RestoreUnpackagedFiles());
  std::string got;
  ASSERT_TRUE(ReadWholeFile(root + "notes.txt", &got));
  EXPECT_EQ(got, text);
}

TEST_F(UnpackagedFiles, RemovedFlagDeletesTheFile) {
  PackageImageWriter first(1);
  AddLoose(first, "old.txt", 1, "old");
  ASSERT_TRUE(Add(first, "old.txt", 1));
  PackageImageWriter second(1);
  AddLoose(second, "old.txt", 2, "", 0, 0x20,
           FileSystem::kFlagUnpackaged | FileSystem::kFlagRemoved);
  ASSERT_TRUE(Add(second, "old.txt", 2));
  EXPECT_EQ(GetFileAttributesA((root + "old.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(buffer, nullptr);
}

TEST_F(UnpackagedFiles, AlreadyPresentEntryIsNotWrittenAgainUnlessRequested) {
  PackageImageWriter image(1);
  AddLoose(image, "same.txt", 3, "content three");
  ASSERT_TRUE(Add(image, "same.txt", 3));
  ASSERT_TRUE(WriteWholeFile(root + "same.txt", "changed by the user"));
  ASSERT_TRUE(Add(image, "other.txt", 1));  // not requested: skipped at once
  std::string got;
  ASSERT_TRUE(ReadWholeFile(root + "same.txt", &got));
  EXPECT_EQ(got, "changed by the user");
  ASSERT_TRUE(Add(image, "same.txt", 3));  // requested: written and handed out
  ASSERT_TRUE(ReadWholeFile(root + "same.txt", &got));
  EXPECT_EQ(got, "content three");
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(std::string(buffer, size), "content three");
}

TEST_F(UnpackagedFiles, EmptyFileIsWrittenAndRestored) {
  PackageImageWriter image(1);
  AddLoose(image, "empty.txt", 1, "");
  ASSERT_TRUE(Add(image, "empty.txt", 1));
  ExpectAttributesAndTimes(root + "empty.txt", 0x20, kTime);
  std::string got = "x";
  ASSERT_TRUE(ReadWholeFile(root + "empty.txt", &got));
  EXPECT_EQ(got, "");
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(buffer[0], '\0');

  Reopen(false);  // restoring is for local mode here
  ASSERT_TRUE(DeleteFileA((root + "empty.txt").c_str()));
  EXPECT_TRUE(store->Packages().RestoreUnpackagedFile(Key("empty.txt")));
  EXPECT_NE(GetFileAttributesA((root + "empty.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(ReadWholeFile(root + "empty.txt", &got));
  EXPECT_EQ(got, "");
}

TEST_F(UnpackagedFiles, WrongDecodedLengthFails) {
  PackageImageWriter image(1);
  const std::string record =
      TestFixtures::UnpackagedRecord("len.txt", 0x20, kTime, 0, "four");
  image.AddEntry("len.txt", 1, record, 5, 0, FileSystem::kFlagUnpackaged);
  EXPECT_FALSE(Add(image, "len.txt", 1));
  EXPECT_EQ(GetFileAttributesA((root + "len.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(UnpackagedFiles, UndecodableContentFailsWithTheDecompressMessage) {
  PackageImageWriter image(1);
  const std::string record =
      TestFixtures::UnpackagedRecord("garbled.txt", 0x20, kTime, 0, "not an lzo stream at all");
  image.AddEntry("garbled.txt", 1, record, 300, 1, FileSystem::kFlagUnpackaged);
  EXPECT_FALSE(Add(image, "garbled.txt", 1));
  const ResourceKey key = Key("garbled.txt");
  char line[160];
  snprintf(line, sizeof line,
           "Decompress failed when process downloaded unpackaged file \"%u, %u\".", key.hash1,
           key.hash2);
  EXPECT_TRUE(log.Contains(line));
  EXPECT_EQ(GetFileAttributesA((root + "garbled.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(UnpackagedFiles, FileThatCannotBeOpenedFailsWithBothMessages) {
  // A file where a folder of the name is needed.
  ASSERT_TRUE(WriteWholeFile(root + "blocker", "in the way"));
  PackageImageWriter image(1);
  AddLoose(image, "blocker/inner.txt", 1, "inner");
  EXPECT_FALSE(Add(image, "blocker/inner.txt", 1));
  const ResourceKey key = Key("blocker/inner.txt");
  const std::string path = folder.Path() + "/blocker/inner.txt";
  EXPECT_TRUE(log.Contains("Open write file failed when process downloaded unpackaged file " +
                           path + "."));
  char line[160];
  snprintf(line, sizeof line,
           "Write unpackaged file failed when process downloaded unpackaged file \"%u, %u\".",
           key.hash1, key.hash2);
  EXPECT_TRUE(log.Contains(line));
  uint32_t version = 0;
  EXPECT_FALSE(store->Packages().FindEntry(key, &version));
}

TEST_F(UnpackagedFiles, RecordShorterThanItsHeadFails) {
  PackageImageWriter image(1);
  std::string record = TestFixtures::UnpackagedRecord("cut.txt", 0x20, kTime, 0, "");
  record.resize(record.size() - 1);
  image.AddEntry("cut.txt", 1, record, 0, 0, FileSystem::kFlagUnpackaged);
  EXPECT_FALSE(Add(image, "cut.txt", 1));
}

// Hostile names: the entry fails and nothing is written anywhere.
class HostileNames : public UnpackagedFiles, public testing::WithParamInterface<const char*> {};

TEST_P(HostileNames, AreRefusedAndNothingIsWritten) {
  const std::string name = GetParam();
  // Left over from an earlier run that had this fault, perhaps.
  DeleteFileA("C:\\x");
  DeleteFileA((folder.Path() + "\\..\\x").c_str());
  PackageImageWriter image(2);
  AddLoose(image, name, 1, "payload");
  EXPECT_FALSE(Add(image, name, 1)) << name;
  uint32_t version = 0;
  EXPECT_FALSE(store->Packages().FindEntry(Key(name), &version)) << name;
  EXPECT_EQ(buffer, nullptr);
  const ResourceKey key = Key(name);
  char line[160];
  snprintf(line, sizeof line, "Refused unsafe name of downloaded unpackaged file \"%u, %u\".",
           key.hash1, key.hash2);
  EXPECT_TRUE(log.Contains(line)) << name;
  // Nothing at all in the root: not even a package was needed.
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((root + "*").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  std::vector<std::string> names;
  do {
    if (std::strcmp(data.cFileName, ".") != 0 && std::strcmp(data.cFileName, "..") != 0)
      names.push_back(data.cFileName);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  EXPECT_TRUE(names.empty()) << name << ": " << (names.empty() ? "" : names[0]);
  EXPECT_EQ(GetFileAttributesA("C:\\x"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA("\\abs"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA((folder.Path() + "\\..\\x").c_str()), INVALID_FILE_ATTRIBUTES);
}

const char* const kHostileNames[] = {
    "C:/x", "/abs", "\\\\server\\share\\x", "a/../../x", "..\\x", "a:b", "a/./../../x", "",
    "sub/",  "nul",
};

INSTANTIATE_TEST_SUITE_P(Cases, HostileNames, testing::ValuesIn(kHostileNames));

// ---- files in use ----

// A file mapped as an executable image (what the loader does with a running
// game library) cannot be deleted but can be renamed: the case of a game file
// that is in use while its update arrives.
struct BusyFiles : UnpackagedFiles {
  void TearDown() override {
    for (void* view : views) UnmapViewOfFile(view);
    UnpackagedFiles::TearDown();
  }
  std::string LibraryBytes() {
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(std::string(system) + "\\version.dll", &bytes));
    return bytes;
  }
  void MakeBusy(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY | SEC_IMAGE, 0, 0, nullptr);
    CloseHandle(file);
    ASSERT_NE(mapping, nullptr) << path;
    void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    CloseHandle(mapping);
    ASSERT_NE(view, nullptr) << path;
    views.push_back(view);
    ASSERT_FALSE(DeleteFileA(path.c_str())) << "an image in use should not be deletable";
  }
  std::vector<void*> views;
};

TEST_F(BusyFiles, AreMovedToRemovedFilesThenNumbered) {
  const std::string library = LibraryBytes();
  ASSERT_FALSE(library.empty());
  const std::string path = root + "game.dll";
  std::vector<std::string> expected = {"game.dll", "game.dll0", "game.dll1"};
  for (uint16_t version = 1; version <= 4; ++version) {
    PackageImageWriter image(1);
    AddLoose(image, "game.dll", version, library);
    ASSERT_TRUE(Add(image, "game.dll", version)) << version;
    std::string got;
    ASSERT_TRUE(ReadWholeFile(path, &got));
    EXPECT_EQ(got, library);
    if (version > 1) {
      const std::string aside = root + "removed_files/" + expected[version - 2];
      EXPECT_NE(GetFileAttributesA(aside.c_str()), INVALID_FILE_ATTRIBUTES) << aside;
    }
    MakeBusy(path);
  }
}

TEST_F(BusyFiles, BaseNameIsTakenAfterTheLastSeparatorOfEitherKind) {
  const std::string library = LibraryBytes();
  CreateDirectoryA((root + "sub").c_str(), nullptr);
  // root ends in '\\' here; the name mixes '/' before '\\'.
  const std::string path = folder.Path() + "/sub\\busy.dll";
  ASSERT_TRUE(WriteWholeFile(path, library));
  MakeBusy(path);
  EXPECT_TRUE(store->Packages().RemoveBusyFile(path.c_str()));
  EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesA((root + "removed_files/busy.dll").c_str()),
            INVALID_FILE_ATTRIBUTES);
}

TEST_F(UnpackagedFiles, RemoveBusyFileOfAMissingOrFreeFileSucceeds) {
  EXPECT_FALSE(store->Packages().RemoveBusyFile(nullptr));
  EXPECT_TRUE(store->Packages().RemoveBusyFile((root + "missing.txt").c_str()));
  ASSERT_TRUE(WriteWholeFile(root + "free.txt", "x"));
  EXPECT_TRUE(store->Packages().RemoveBusyFile((root + "free.txt").c_str()));
  EXPECT_EQ(GetFileAttributesA((root + "free.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA((root + "removed_files").c_str()), INVALID_FILE_ATTRIBUTES);
}

// ---- restore pass ----

TEST_F(UnpackagedFiles, RestorePassRewritesDeletedAndChangedFilesAndLeavesIntactOnes) {
  PackageImageWriter image(4);
  AddLoose(image, "deleted.txt", 1, "deleted content");
  AddLoose(image, "changed.txt", 1, "changed content", FileSystem::kMethodStored, 0x20);
  AddLoose(image, "intact.txt", 1, "intact content");
  AddLoose(image, "longer.txt", 1, "short");
  ASSERT_TRUE(Add(image, "deleted.txt", 1));
  Reopen(false);  // local mode: Init runs the restore pass

  ASSERT_TRUE(DeleteFileA((root + "deleted.txt").c_str()));
  ASSERT_TRUE(WriteWholeFile(root + "changed.txt", "CHANGED content"));  // same length
  ASSERT_TRUE(WriteWholeFile(root + "longer.txt", "much longer now"));
  // Mark the intact file so that a rewrite would show.
  HANDLE file = CreateFileA((root + "intact.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME marker{0x12345678, 0x01D00000};
  SetFileTime(file, nullptr, nullptr, &marker);
  CloseHandle(file);

  EXPECT_TRUE(store->Packages().RestoreUnpackagedFiles());
  ExpectAttributesAndTimes(root + "deleted.txt", 0x20, kTime);
  std::string got;
  ASSERT_TRUE(ReadWholeFile(root + "deleted.txt", &got));
  EXPECT_EQ(got, "deleted content");
  ASSERT_TRUE(ReadWholeFile(root + "changed.txt", &got));
  EXPECT_EQ(got, "changed content");
  ASSERT_TRUE(ReadWholeFile(root + "longer.txt", &got));
  EXPECT_EQ(got, "short");
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA((root + "intact.txt").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(ToU64(data.ftLastWriteTime), ToU64(marker));
}

TEST_F(UnpackagedFiles, LocalModeStartRestoresADeletedFile) {
  PackageImageWriter image(1);
  AddLoose(image, "cfg/start.txt", 1, "start content", FileSystem::kMethodStored);
  ASSERT_TRUE(Add(image, "cfg/start.txt", 1));
  store.reset();
  ASSERT_TRUE(DeleteFileA((root + "cfg/start.txt").c_str()));
  store.reset(OpenStore(folder.Path(), false, &log));
  ASSERT_NE(store, nullptr);
  std::string got;
  ASSERT_TRUE(ReadWholeFile(root + "cfg/start.txt", &got));
  EXPECT_EQ(got, "start content");
}

TEST_F(UnpackagedFiles, LoadingAPackageRestoresItsLooseFilesAtOnce) {
  PackageImageWriter image(1);
  AddLoose(image, "extra.txt", 1, "extra content");
  ASSERT_TRUE(Add(image, "extra.txt", 1));
  store.reset();
  ASSERT_TRUE(MoveFileA((root + "data_1.pak").c_str(), (root + "extra.pak").c_str()));
  store.reset(OpenStore(folder.Path(), false, &log));
  ASSERT_NE(store, nullptr);
  ASSERT_TRUE(DeleteFileA((root + "extra.txt").c_str()));
  // No pass over all files runs after this load: the index hook restores.
  ASSERT_TRUE(store->Packages().AddPackage((root + "extra.pak").c_str()));
  std::string got;
  ASSERT_TRUE(ReadWholeFile(root + "extra.txt", &got));
  EXPECT_EQ(got, "extra content");
}

TEST_F(UnpackagedFiles, LocalModeRestorePassRunsBetweenTheLastTwoInitMessages) {
  PackageImageWriter image(1);
  AddLoose(image, "late.txt", 1, "late content");
  ASSERT_TRUE(Add(image, "late.txt", 1));
  store.reset();
  log.Clear();
  ASSERT_TRUE(DeleteFileA((root + "late.txt").c_str()));
  store.reset(OpenStore(folder.Path(), false, &log));
  ASSERT_NE(store, nullptr);
  const std::vector<std::string> texts = log.Texts();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[texts.size() - 2], "Init Update success.");
  EXPECT_EQ(texts.back(), "Init File System success.");
}

TEST_F(UnpackagedFiles, UpdateModeWithoutAVersionListLeavesFilesAlone) {
  PackageImageWriter image(1);
  AddLoose(image, "wait.txt", 1, "wait content");
  ASSERT_TRUE(Add(image, "wait.txt", 1));
  ASSERT_TRUE(DeleteFileA((root + "wait.txt").c_str()));
  EXPECT_TRUE(store->Packages().RestoreUnpackagedFile(Key("wait.txt")));
  EXPECT_EQ(GetFileAttributesA((root + "wait.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(UnpackagedFiles, RestoreOfKeysThatAreNotLooseFilesSucceedsWithoutWriting) {
  PackageImageWriter image(2);
  image.AddStored("packaged.txt", 1, "packaged");
  ASSERT_TRUE(Add(image, "packaged.txt", 1));
  Reopen(false);
  EXPECT_TRUE(store->Packages().RestoreUnpackagedFile(Key("packaged.txt")));
  EXPECT_TRUE(store->Packages().RestoreUnpackagedFile(Key("unknown.txt")));
  EXPECT_EQ(GetFileAttributesA((root + "packaged.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

// A local package laid out by the writer: data_1.pak in the root.
void WritePackage(const std::string& root, PackageImageWriter& package) {
  package.PadTo(10485760);
  ASSERT_TRUE(package.WriteTo(root + "data_1.pak"));
}

TEST_F(UnpackagedFiles, RestoreOfUndecodableContentFailsWithTheRestoreMessage) {
  store.reset();
  PackageImageWriter package(2);
  const std::string record =
      TestFixtures::UnpackagedRecord("broken.txt", 0x20, kTime, 1, "no lzo stream here");
  package.AddEntry("broken.txt", 1, record, 50, 1, FileSystem::kFlagUnpackaged);
  WritePackage(root, package);
  store.reset(OpenStore(folder.Path(), false, &log));
  ASSERT_NE(store, nullptr);
  EXPECT_FALSE(store->Packages().RestoreUnpackagedFile(Key("broken.txt")));
  EXPECT_TRUE(log.Contains("Decompress failed when restore unpackaged file \"" + folder.Path() +
                           "/broken.txt\"."));
  EXPECT_EQ(GetFileAttributesA((root + "broken.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(UnpackagedFiles, EmptyFileWithCrcZeroIsIntactAndNotRewritten) {
  PackageImageWriter image(1);
  AddLoose(image, "zero.txt", 1, "");
  ASSERT_TRUE(Add(image, "zero.txt", 1));
  Reopen(false);
  HANDLE file = CreateFileA((root + "zero.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME marker{0x12345678, 0x01D00000};
  SetFileTime(file, nullptr, nullptr, &marker);
  CloseHandle(file);
  EXPECT_TRUE(store->Packages().RestoreUnpackagedFile(Key("zero.txt")));
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA((root + "zero.txt").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(ToU64(data.ftLastWriteTime), ToU64(marker));
}

// A package written by someone else may carry a hostile record name; the
// restore pass refuses it as the download does.
TEST_F(UnpackagedFiles, RestoreRefusesAHostileNameFromAPackage) {
  store.reset();
  DeleteFileA((folder.Path() + "\\..\\escaped.txt").c_str());
  PackageImageWriter package(2);
  const std::string record = TestFixtures::UnpackagedRecord("../escaped.txt", 0x20, kTime,
                                                            Crc("evil"), "evil");
  package.AddEntry("innocent.txt", 1, record, 4, 0, FileSystem::kFlagUnpackaged);
  WritePackage(root, package);
  store.reset(OpenStore(folder.Path(), false, &log));
  ASSERT_NE(store, nullptr);
  EXPECT_FALSE(store->Packages().RestoreUnpackagedFile(Key("innocent.txt")));
  EXPECT_TRUE(log.Contains("Refused unsafe name of unpackaged file \"../escaped.txt\"."));
  EXPECT_EQ(GetFileAttributesA((folder.Path() + "\\..\\escaped.txt").c_str()),
            INVALID_FILE_ATTRIBUTES);
}

}  // namespace
