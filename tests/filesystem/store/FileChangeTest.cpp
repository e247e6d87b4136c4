// Deletes and renames of a file that another handle holds: released between
// two tries the change goes through; never released it fails cleanly, with
// the system's error code in the log.
#include "store/FileChange.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/LogManager.h"
#include "TestSupport.h"
#include "base/Thread.h"

using FileSystem::FileChange;
using FileSystem::LogManager;
using FileSystem::Thread;
using TestSupport::ReadWholeFile;
using TestSupport::RecordingLog;
using TestSupport::TempFolder;
using TestSupport::WriteWholeFile;

namespace {

const DWORD kBoundMs = 10000;

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A handle that keeps the file from being renamed or deleted, as a scanner
// that reads it without sharing deletion does.
class Holder {
 public:
  explicit Holder(const std::string& path)
      : handle_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~Holder() { Release(); }
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;
  bool Holds() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Release() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

class Event {
 public:
  Event() : handle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~Event() { CloseHandle(handle_); }
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  void Set() { SetEvent(handle_); }
  bool Wait(DWORD ms) { return WaitForSingleObject(handle_, ms) == WAIT_OBJECT_0; }

 private:
  HANDLE handle_;
};

// Another thread releases the holder once the first try has failed; the
// change waits between its tries until that release is done (bounded), so
// the second try meets a free file.
struct Releaser {
  Holder* holder = nullptr;
  Event firstTryFailed;
  Event released;
  int hookCalls = 0;
  DWORD firstError = 0;

  static void Main(void* self) {
    Releaser* releaser = static_cast<Releaser*>(self);
    if (!releaser->firstTryFailed.Wait(kBoundMs)) return;
    releaser->holder->Release();
    releaser->released.Set();
  }
  static void Hook(void* self, int attempt, DWORD error) {
    Releaser* releaser = static_cast<Releaser*>(self);
    ++releaser->hookCalls;
    if (attempt != 1) return;
    releaser->firstError = error;
    releaser->firstTryFailed.Set();
    releaser->released.Wait(kBoundMs);
  }
};

struct FileChangeTest : testing::Test {
  void SetUp() override {
    log.SetSink(&recording);
    source = folder.File("held.txt");
    target = folder.File("moved.txt");
    ASSERT_TRUE(WriteWholeFile(source, "content"));
  }
  void TearDown() override { log.SetSink(nullptr); }

  bool LogMentions(const std::string& text) {
    for (const std::string& line : recording.Texts()) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }

  TempFolder folder;
  RecordingLog recording;
  LogManager log;
  std::string source;
  std::string target;
};

enum class Kind { kRename, kReplace, kDelete };

struct ChangeCase {
  const char* label;
  Kind kind;
};

class HeldFileTest : public FileChangeTest, public testing::WithParamInterface<ChangeCase> {
 protected:
  bool Change(FileChange* change) {
    switch (GetParam().kind) {
      case Kind::kRename: return change->Rename(source.c_str(), target.c_str());
      case Kind::kReplace: return change->Replace(source.c_str(), target.c_str());
      case Kind::kDelete: return change->Delete(source.c_str());
    }
    return false;
  }
  void PrepareTarget() {
    if (GetParam().kind == Kind::kReplace) {
      ASSERT_TRUE(WriteWholeFile(target, "old"));
    }
  }
  void ExpectDone() {
    EXPECT_FALSE(Exists(source));
    if (GetParam().kind == Kind::kDelete) return;
    std::string moved;
    ASSERT_TRUE(ReadWholeFile(target, &moved));
    EXPECT_EQ(moved, "content");
  }
};

TEST_P(HeldFileTest, SucceedsOnceAHandleReleasedFromAnotherThreadIsGone) {
  PrepareTarget();
  Holder holder(source);
  ASSERT_TRUE(holder.Holds());
  Releaser releaser;
  releaser.holder = &holder;
  FileChange change(&log);
  change.SetRetryHook(&Releaser::Hook, &releaser);
  Thread thread;
  ASSERT_TRUE(thread.Start(&Releaser::Main, &releaser));
  const bool done = Change(&change);
  releaser.firstTryFailed.Set();  // lets the thread end should no try have failed
  thread.Join();
  ASSERT_TRUE(done) << "error " << change.LastError();
  EXPECT_EQ(change.LastError(), 0u);
  EXPECT_GE(releaser.hookCalls, 1) << "the first try must have met the held file";
  EXPECT_TRUE(FileChange::IsBriefHold(releaser.firstError, source.c_str(), nullptr))
      << releaser.firstError;
  ExpectDone();
  EXPECT_TRUE(recording.Lines().empty());
}

TEST_P(HeldFileTest, FailsWithTheSystemErrorInTheLogWhileTheHandleStays) {
  PrepareTarget();
  Holder holder(source);
  ASSERT_TRUE(holder.Holds());
  FileChange change(&log);
  int tries = 0;
  change.SetRetryHook([](void* count, int, DWORD) { ++*static_cast<int*>(count); }, &tries);
  EXPECT_FALSE(Change(&change));
  EXPECT_EQ(tries, FileChange::kAttempts - 1) << "every try but the last is followed by a wait";
  const DWORD error = change.LastError();
  EXPECT_TRUE(FileChange::IsBriefHold(error, source.c_str(), nullptr)) << error;
  EXPECT_TRUE(LogMentions("system error " + std::to_string(error) + "."));
  EXPECT_TRUE(LogMentions(source));
  holder.Release();
  std::string still;
  ASSERT_TRUE(ReadWholeFile(source, &still)) << "a failed change leaves the file as it was";
  EXPECT_EQ(still, "content");
}

INSTANTIATE_TEST_SUITE_P(Changes, HeldFileTest,
                         testing::Values(ChangeCase{"rename", Kind::kRename},
                                         ChangeCase{"replace", Kind::kReplace},
                                         ChangeCase{"delete", Kind::kDelete}),
                         [](const testing::TestParamInfo<ChangeCase>& info) {
                           return std::string(info.param.label);
                         });

TEST_F(FileChangeTest, AReadOnlyFileIsChangedAndAFailureThatIsNoHoldIsNotRetried) {
  ASSERT_TRUE(SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_READONLY));
  FileChange change(&log);
  int tries = 0;
  change.SetRetryHook([](void* count, int, DWORD) { ++*static_cast<int*>(count); }, &tries);
  EXPECT_TRUE(change.Delete(source.c_str()));
  EXPECT_FALSE(Exists(source));
  EXPECT_EQ(tries, 0);
  EXPECT_TRUE(recording.Lines().empty());

  EXPECT_FALSE(change.Rename(folder.File("missing.txt").c_str(), target.c_str()));
  EXPECT_EQ(tries, 0) << "a missing file is no hold";
  EXPECT_TRUE(LogMentions("system error " + std::to_string(change.LastError()) + "."));
}

}  // namespace
