// Several processes updating one data folder: two at the same time, and one
// killed halfway and then started again. Each process is an update_child
// served by the servers of this test process; the folder is then checked
// byte for byte, its packages through a file system in local mode.
#include <windows.h>

#include <cstdio>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "FileSystemFacade.h"
#include "Held.h"
#include "PackageFormat.h"
#include "ResourceGroupConfig.h"
#include "UpdateChildExit.h"
#include "UpdateHarness.h"

using FileSystem::IFileSystem;

namespace {

constexpr const char* kChild = "update_child.exe";
// The exit code a killed child gets; no code of the child itself.
constexpr UINT kKilled = 9;
// Only keeps a broken build from hanging the suite; the child's own limits
// are shorter.
constexpr DWORD kChildLimitMs = 240000;

// A file to update: its name, the resource file its content comes from, the
// version the product lists it at, and for a loose file its path below the
// data folder.
struct Item {
  std::string name;
  std::string source;
  uint32_t version;
  std::string loosePath;
};

class UpdateMultiProcessTest : public UpdateTests::UpdateTest {
 protected:
  void SetUp() override {
    UpdateTest::SetUp();
    if (HasFatalFailure()) return;
    PublishProduct();
    if (HasFatalFailure()) return;
    for (const Item& item : items_)
      ASSERT_TRUE(TestSupport::ReadWholeFile(resources_.File(item.source), &expected_[item.name]));
    AnswerQueries();
    WriteList();
  }

  // The harness's files and link, and dozens more: 1 byte to 320 KiB, text
  // and random bytes, stored, LZO and LZMA, some to be re-encoded when
  // added; an empty one; three loose files; and three of 3.5 MiB that come
  // packed and are stored unpacked, so that the first package file overflows
  // into a second.
  void PublishProduct() {
    items_ = {{"a.txt", "a.txt", 2, ""},
              {"b.txt", "b.txt", 1, ""},
              {"c.txt", "c.txt", 4, ""},
              {"alias.txt", "a.txt", 2, ""}};
    static const size_t kSizes[] = {1, 9, 120, 1000, 4096, 20000, 65549, 150000, 327680};
    static const char* const kMethods[] = {"0", "1", "2", "0", "1", "2", "0:2", "2:0", "1:2"};
    std::map<std::string, std::string> sources;
    std::ostringstream manifest;
    for (int i = 0; i < 36; ++i) {
      const std::string name = Numbered("res", i, ".bin");
      const size_t size = kSizes[i % 9];
      const uint32_t version = 1 + i % 4;
      manifest << "file " << name << ' ' << version << ' ' << kMethods[(i + i / 9) % 9] << '\n';
      sources[name] = Content(size, i);
      items_.push_back({name, name, version, ""});
    }
    manifest << "file empty.bin 1 0\n";
    sources["empty.bin"] = std::string();
    items_.push_back({"empty.bin", "empty.bin", 1, ""});
    for (int i = 0; i < 3; ++i) {
      const std::string name = Numbered("loose", i, ".txt");
      manifest << "loose " << name << " 2 " << i << " path=loose/" << name << '\n';
      sources[name] = Content(150 + 100000 * i, 40 + i);
      items_.push_back({name, name, 2, "loose/" + name});
    }
    for (int i = 0; i < 3; ++i) {
      const std::string name = Numbered("big", i, ".bin");
      manifest << "file " << name << " 1 1:0\n";
      sources[name] = Content(3670016, 50 + 2 * i);
      items_.push_back({name, name, 1, ""});
    }
    // For an update of everything: half of the files in two groups, one
    // fetched whole, the rest as single files.
    manifest << "group evens 1 whole\nfirst";
    for (size_t i = 4; i < items_.size(); i += 2) manifest << ' ' << items_[i].name;
    manifest << "\ngroup odds 1\nfirst";
    for (size_t i = 5; i < 25; i += 2) manifest << ' ' << items_[i].name;
    manifest << "\nsingle";
    for (size_t i = 0; i < items_.size(); ++i)
      if (i < 4 || (i % 2 == 1 && i >= 25)) manifest << ' ' << items_[i].name;
    manifest << '\n';
    // The tree takes a while to build: it is built once and served again to
    // every test of a run.
    static std::map<std::string, std::string> published;
    if (published.empty()) {
      ASSERT_TRUE(Publish(manifest.str(), sources));
      published = tree_;
      return;
    }
    for (const auto& source : sources)
      ASSERT_TRUE(TestSupport::WriteWholeFile(resources_.File(source.first), source.second));
    tree_ = published;
    http_.SetFiles(tree_);
  }

  static std::string Numbered(const char* stem, int number, const char* extension) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%02d%s", stem, number, extension);
    return name;
  }

  // Text for even seeds, random bytes for odd ones; the first byte differs
  // from seed to seed.
  static std::string Content(size_t size, int seed) {
    std::string content = seed % 2 == 0 ? TestSupport::Compressible(size)
                                        : TestSupport::Random(size, static_cast<uint32_t>(seed));
    if (!content.empty()) content[0] = static_cast<char>('A' + seed);
    return content;
  }

  // The child checks what it reads through OpenFile; a loose file opens by
  // its name from the current folder, so its check is left to this process.
  void WriteList() {
    std::string list;
    for (const Item& item : items_) {
      list += item.name;
      if (item.loosePath.empty()) list += '\t' + resources_.File(item.source);
      list += '\n';
    }
    ASSERT_TRUE(TestSupport::WriteWholeFile(work_.File("list.txt"), list));
  }

  // mode "all" updates everything instead of requesting the names.
  HANDLE StartChild(const std::string& label, const char* mode = "") {
    const std::string arguments =
        "\"" + data_.Path() + "\" " + std::to_string(updateServer_.Port()) + " " +
        UpdateTests::kProduct + " \"" + work_.File("list.txt") + "\" \"" + LogPath(label) +
        "\" " + mode;
    std::string failure;
    HANDLE child = TestSupport::StartProgram(kChild, arguments, &failure);
    EXPECT_NE(child, nullptr) << label << ": " << failure;
    return child;
  }

  std::string LogPath(const std::string& label) { return work_.File(label + ".log"); }

  // Waits for the child's end and gives its exit code; on a code other than
  // the expected one, the child's errors and last lines join the failure.
  DWORD Finish(HANDLE child, const std::string& label, DWORD expected = 0) {
    if (child == nullptr) return static_cast<DWORD>(-1);
    if (WaitForSingleObject(child, kChildLimitMs) != WAIT_OBJECT_0) {
      TerminateProcess(child, kKilled);
      WaitForSingleObject(child, INFINITE);
      ADD_FAILURE() << label << " child hung";
    }
    DWORD code = 0;
    GetExitCodeProcess(child, &code);
    CloseHandle(child);
    if (code != expected)
      ADD_FAILURE() << label << " child exited with " << code << " ("
                    << TestFixtures::DescribeUpdateChildExit(code) << ")\n"
                    << LogDigest(label);
    return code;
  }

  std::string LogDigest(const std::string& label) {
    std::string text;
    TestSupport::ReadWholeFile(LogPath(label), &text);
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    std::string digest;
    for (const std::string& line : lines)
      if (line.find(" 2 ") != std::string::npos) digest += line + '\n';
    digest += "--- last lines:\n";
    for (size_t i = lines.size() > 30 ? lines.size() - 30 : 0; i < lines.size(); ++i)
      digest += lines[i] + '\n';
    return digest;
  }

  static std::string ReadBack(FileSystem::IReadFile* file) {
    std::string content(static_cast<size_t>(file->GetSize() > 0 ? file->GetSize() : 0), '\0');
    const bool read =
        content.empty() || file->Read(&content[0], static_cast<uint32_t>(content.size()));
    return read ? content : "<short read>";
  }

  // Every entry of the folder's index is whole: not caught halfway through a
  // replacement, and its data decodes to its size. Every file among them
  // reads back exactly (a loose one from disk, as it was before a file
  // system in local mode could restore it); *present gets those found.
  void ExpectNothingTorn(std::set<std::string>* present) {
    std::map<std::string, std::string> onDisk;
    for (const Item& item : items_)
      if (!item.loosePath.empty())
        TestSupport::ReadWholeFile(data_.File(item.loosePath), &onDisk[item.name]);
    TestFixtures::Held<IFileSystem> fileSystem(Start(updateServer_.Port(), 0));
    ASSERT_NE(fileSystem, nullptr);
    FileSystem::PackageManager& packages =
        static_cast<FileSystem::FileSystem*>(fileSystem.get())->Packages();
    for (const auto& indexed : packages.ListEntries()) ExpectWhole(&packages, indexed.second);
    for (const Item& item : items_) {
      if (!item.loosePath.empty()) {
        if (!packages.FindEntry(FileSystem::HashResourceName(item.name.c_str()), nullptr)) continue;
        present->insert(item.name);
        EXPECT_TRUE(onDisk[item.name] == expected_[item.name]) << item.loosePath << " differs";
        continue;
      }
      TestFixtures::Held<FileSystem::IReadFile> file(
          fileSystem->OpenFile(item.name.c_str(), FileSystem::kOpenPackagedOnly, false, false));
      if (file == nullptr) continue;
      present->insert(item.name);
      EXPECT_TRUE(ReadBack(file) == expected_[item.name]) << item.name << " differs";
    }
  }

  static void ExpectWhole(FileSystem::PackageManager* packages,
                          const FileSystem::IndexedEntry& indexed) {
    const FileSystem::FileIndexEntry& entry = indexed.entry;
    const FileSystem::ResourceKey key{entry.hash1, entry.hash2};
    EXPECT_EQ(entry.flags & FileSystem::kFlagRemoved, 0)
        << std::hex << key.hash1 << "_" << key.hash2 << " is marked removed";
    if ((entry.flags & FileSystem::kFlagUnpackaged) != 0) return;
    TestFixtures::Held<FileSystem::IReadFile> file(packages->OpenPackagedFile(key, "", false));
    if (file == nullptr) {
      ADD_FAILURE() << std::hex << key.hash1 << "_" << key.hash2 << " does not open";
      return;
    }
    EXPECT_EQ(ReadBack(file).size(), entry.size);
  }

  void ExpectEveryFileCorrect() {
    std::set<std::string> present;
    ExpectNothingTorn(&present);
    for (const Item& item : items_)
      EXPECT_EQ(present.count(item.name), 1u) << item.name << " is missing";
  }

  TestSupport::TempFolder work_;
  std::vector<Item> items_;
  std::map<std::string, std::string> expected_;
};

TEST_F(UpdateMultiProcessTest, TwoProcessesUpdatingOneFolderAtOnceBothEndWithEveryFileCorrect) {
  HANDLE first = StartChild("first");
  HANDLE second = StartChild("second");
  EXPECT_EQ(Finish(first, "first"), 0u);
  EXPECT_EQ(Finish(second, "second"), 0u);
  ExpectEveryFileCorrect();
}

TEST_F(UpdateMultiProcessTest, TwoProcessesUpdatingEverythingAtOnceBothEndWithEveryFileCorrect) {
  HANDLE first = StartChild("first", "all");
  HANDLE second = StartChild("second", "all");
  EXPECT_EQ(Finish(first, "first"), 0u);
  EXPECT_EQ(Finish(second, "second"), 0u);
  ExpectEveryFileCorrect();
}

// A process killed between creating a package file and giving it its size
// leaves it empty.
TEST_F(UpdateMultiProcessTest, APackageFileLeftEmptyByAKilledProcessIsTakenOverByTheNext) {
  ASSERT_TRUE(TestSupport::WriteWholeFile(data_.File("data_1.pak"), ""));
  EXPECT_EQ(Finish(StartChild("after"), "after"), 0u);
  ExpectEveryFileCorrect();
}

// Where the first process is killed: the step of the library at which it
// stops (KillPointStop), at the key of a resource or at any key.
struct KillPoint {
  const char* label;
  const char* step;
  const char* resource;  // null: any key
  // The step is passed (not stopped at) and is followed by the lock of the
  // first package, which this process holds as another writer would.
  bool lockWait;
};

void PrintTo(const KillPoint& point, std::ostream* out) { *out << point.label; }

class UpdateKillTest : public UpdateMultiProcessTest,
                       public testing::WithParamInterface<KillPoint> {
 protected:
  void SetUp() override {
    UpdateMultiProcessTest::SetUp();
    if (HasFatalFailure()) return;
    const std::string name = "Local\\update_kill_" + std::to_string(GetCurrentProcessId()) + "_" +
                             std::to_string(GetTickCount());
    event_ = CreateEventA(nullptr, TRUE, FALSE, name.c_str());
    ASSERT_NE(event_, nullptr);
    eventName_ = name;
  }

  void TearDown() override {
    ReleasePackageLock();
    if (event_ != nullptr) CloseHandle(event_);
    UpdateMultiProcessTest::TearDown();
  }

  std::string KeyOf(const char* resource) {
    const FileSystem::ResourceKey key = FileSystem::HashResourceName(resource);
    char text[32];
    std::snprintf(text, sizeof text, ":%08x_%08x", key.hash1, key.hash2);
    return text;
  }

  std::string SpecOf(const KillPoint& point) {
    std::string spec = point.lockWait ? "~" : "";
    spec += point.step;
    if (point.resource != nullptr) spec += KeyOf(point.resource);
    return spec;
  }

  HANDLE StartStopping(const KillPoint& point) {
    return StartChild("killed", ("stop " + SpecOf(point) + " " + eventName_).c_str());
  }

  // Waits until the child signals the step (or ends, or the limit passes);
  // true when it did and still runs, held at the step.
  bool WaitForStep(HANDLE child) {
    HANDLE both[2] = {event_, child};
    const DWORD woke = WaitForMultipleObjects(2, both, FALSE, kChildLimitMs);
    return woke == WAIT_OBJECT_0 && WaitForSingleObject(child, 0) == WAIT_TIMEOUT;
  }

  bool WaitForLockWait(HANDLE child) {
    const bool initialised = UpdateTests::Eventually([&] {
      return LogDigestContains("Init Update Manager finished") ||
             WaitForSingleObject(child, 0) == WAIT_OBJECT_0;
    });
    if (!initialised || WaitForSingleObject(child, 0) == WAIT_OBJECT_0) return false;
    if (!TakePackageLock()) return false;
    // Any signal from now on comes from a lock taken after this one, which
    // the child cannot get while this process holds it.
    ResetEvent(event_);
    return WaitForStep(child);
  }

  bool LogDigestContains(const char* text) {
    std::string log;
    TestSupport::ReadWholeFile(LogPath("killed"), &log);
    return log.find(text) != std::string::npos;
  }

  bool TakePackageLock() {
    lockedPackage_ = CreateFileA(data_.File("data_1.pak").c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (lockedPackage_ == INVALID_HANDLE_VALUE) return false;
    ZeroMemory(&lockPlace_, sizeof lockPlace_);
    if (LockFileEx(lockedPackage_, LOCKFILE_EXCLUSIVE_LOCK, 0, 4, 0, &lockPlace_)) return true;
    CloseHandle(lockedPackage_);
    lockedPackage_ = INVALID_HANDLE_VALUE;
    return false;
  }

  void ReleasePackageLock() {
    if (lockedPackage_ == INVALID_HANDLE_VALUE) return;
    UnlockFileEx(lockedPackage_, 0, 4, 0, &lockPlace_);
    CloseHandle(lockedPackage_);
    lockedPackage_ = INVALID_HANDLE_VALUE;
  }

  HANDLE event_ = nullptr;
  std::string eventName_;
  HANDLE lockedPackage_ = INVALID_HANDLE_VALUE;
  OVERLAPPED lockPlace_;
};

TEST_P(UpdateKillTest, AProcessKilledMidUpdateIsCompletedByTheNextWithNoEntryLostOrTorn) {
  const KillPoint& point = GetParam();
  HANDLE killed = StartStopping(point);
  ASSERT_NE(killed, nullptr);
  const bool atStep = point.lockWait ? WaitForLockWait(killed) : WaitForStep(killed);
  if (!atStep) {
    TerminateProcess(killed, kKilled);
    Finish(killed, "killed", kKilled);
    FAIL() << "the child never stood at " << SpecOf(point);
  }
  // Held there: nothing of the child gets past the step before the kill.
  TerminateProcess(killed, kKilled);
  ASSERT_EQ(Finish(killed, "killed", kKilled), kKilled);
  std::printf("[ killed   ] %s: at %s\n", point.label, SpecOf(point).c_str());
  ReleasePackageLock();

  std::set<std::string> present;
  ExpectNothingTorn(&present);
  std::vector<size_t> fetchedBefore;
  for (const Item& item : items_)
    fetchedBefore.push_back(RequestsFor(PackageOf(item.source.c_str(), item.version)));

  EXPECT_EQ(Finish(StartChild("again"), "again"), 0u);
  ExpectEveryFileCorrect();
  // What the killed process had added is kept and not fetched again.
  for (size_t i = 0; i < items_.size(); ++i) {
    if (present.count(items_[i].name) == 0) continue;
    EXPECT_EQ(RequestsFor(PackageOf(items_[i].source.c_str(), items_[i].version)), fetchedBefore[i])
        << items_[i].name;
  }
}

// res08.bin comes LZO-packed and is stored LZMA-packed: its adder re-encodes
// 320 KiB. big00.bin comes LZO-packed and is stored as it is: its adder
// writes 3.5 MiB. The last entry is caught whole in its block but before
// the package header counts it.
INSTANTIATE_TEST_SUITE_P(
    KillPoints, UpdateKillTest,
    testing::Values(
        KillPoint{"WhileTheVersionFileDownloads", "download.body", "version.pcfg", false},
        KillPoint{"WhileTheGroupFileDownloads", "download.body",
                  FileSystem::ResourceGroupConfig::kFileName, false},
        KillPoint{"WhileAResourceDownloads", "download.body", "res10.bin", false},
        KillPoint{"WhileTheAdderReencodes", "adder.reencode", "res08.bin", false},
        KillPoint{"WhileTheAdderWritesALargeEntry", "store.data-written", "big00.bin", false},
        KillPoint{"WhileTheAdderWritesALooseFile", "store.loose-written", nullptr, false},
        KillPoint{"WhileWaitingForAnotherWritersLock", "store.lock", nullptr, true},
        KillPoint{"BeforeTheHeaderCountsTheLastEntry", "store.count-written", "big02.bin", false}),
    [](const testing::TestParamInfo<KillPoint>& info) { return std::string(info.param.label); });

}  // namespace
