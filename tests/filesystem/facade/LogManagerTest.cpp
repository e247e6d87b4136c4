#include "base/LogManager.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "FileSystem.h"
#include "TestSupport.h"

using FileSystem::LogManager;
using TestSupport::RecordingLog;

namespace {

TEST(LogManager, WithoutSinkReportsFalse) {
  LogManager manager;
  EXPECT_FALSE(manager.Log(0, "nobody listens"));
}

TEST(LogManager, FormatsAndPassesTheLevel) {
  RecordingLog log;
  LogManager manager;
  manager.SetSink(&log);
  EXPECT_TRUE(manager.Log(2, "Open package file \"%s\" failed.", "data_1.pak"));
  ASSERT_EQ(log.Lines().size(), 1u);
  EXPECT_EQ(log.Lines()[0].level, 2);
  EXPECT_EQ(log.Lines()[0].text, "Open package file \"data_1.pak\" failed.");
  manager.SetSink(nullptr);
}

struct LengthCase {
  size_t length;
  bool delivered;
};

class LogLength : public testing::TestWithParam<LengthCase> {};

TEST_P(LogLength, DropsWhatDoesNotFitTheBuffer) {
  RecordingLog log;
  LogManager manager;
  manager.SetSink(&log);
  const std::string text(GetParam().length, 'x');
  EXPECT_EQ(manager.Log(0, "%s", text.c_str()), GetParam().delivered);
  if (GetParam().delivered) {
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0].text, text);
  } else {
    EXPECT_TRUE(log.Lines().empty());
  }
  manager.SetSink(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Boundary, LogLength,
                         testing::Values(LengthCase{0, true}, LengthCase{4094, true},
                                         LengthCase{4095, true}, LengthCase{4096, false},
                                         LengthCase{100000, false}));

TEST(LogManager, AfterTheSinkIsClearedNothingArrives) {
  RecordingLog log;
  LogManager manager;
  manager.SetSink(&log);
  manager.SetSink(nullptr);
  EXPECT_FALSE(manager.Log(0, "late"));
  EXPECT_TRUE(log.Lines().empty());
}

// A sink that notices when two calls overlap.
class OverlapSink : public FileSystem::ILogSystem {
 public:
  void Log(int, const char*) override {
    if (InterlockedIncrement(&inside_) != 1) overlapped_ = true;
    Sleep(0);
    InterlockedDecrement(&inside_);
    InterlockedIncrement(&calls_);
  }
  LONG inside_ = 0;
  LONG calls_ = 0;
  volatile bool overlapped_ = false;
};

DWORD WINAPI LogMany(void* manager) {
  for (int i = 0; i < 500; ++i) static_cast<LogManager*>(manager)->Log(0, "line %d", i);
  return 0;
}

TEST(LogManager, SinkSeesOneCallAtATimeFromManyThreads) {
  OverlapSink sink;
  LogManager manager;
  manager.SetSink(&sink);
  HANDLE threads[4];
  for (HANDLE& thread : threads) thread = CreateThread(nullptr, 0, LogMany, &manager, 0, nullptr);
  WaitForMultipleObjects(4, threads, TRUE, INFINITE);
  for (HANDLE thread : threads) CloseHandle(thread);
  manager.SetSink(nullptr);
  EXPECT_EQ(sink.calls_, 2000);
  EXPECT_FALSE(sink.overlapped_);
}

}  // namespace
