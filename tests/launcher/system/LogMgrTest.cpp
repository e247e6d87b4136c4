#include <gtest/gtest.h>

#include <windows.h>
#include <process.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "LogMgr.h"
#include "TempFolder.h"

namespace {

const char kPrefix[] = "\\d{4}/\\d{2}/\\d{2}-\\d{2}:\\d{2}:\\d{2}<(INF|WAR|ERR)>: ";

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(start));
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

class LogMgrTest : public ::testing::Test {
 protected:
  std::wstring LogPath() const { return folder_.Path() + L"logs\\gameupdater.log"; }
  std::string LogFolder() const { return folder_.AnsiPath() + "logs"; }
  TempFolder folder_;
};

TEST_F(LogMgrTest, InitCreatesTheFolderAndWritesOnlyErrors) {
  LogMgr log;
  ASSERT_TRUE(log.Init(LogFolder()));
  EXPECT_TRUE(log.IsOpen());
  EXPECT_TRUE(log.Log(0, "info %d", 1));
  EXPECT_TRUE(log.Log(1, "warning"));
  EXPECT_TRUE(log.Log(2, "error %s", "text"));
  log.Close();
  EXPECT_FALSE(log.IsOpen());
  std::string bytes = ReadWholeFile(LogPath());
  EXPECT_TRUE(std::regex_match(bytes, std::regex(std::string(kPrefix) + "error text\r\n")))
      << bytes;
}

TEST_F(LogMgrTest, EveryLineEndsInOneCrLf) {
  struct Case {
    const char* message;
    const char* written;
  } cases[] = {
      {"plain", "plain\r\n"},   {"crlf\r\n", "crlf\r\n"}, {"lfcr\n\r", "lfcr\r\n"},
      {"lf\n", "lf\r\n"},       {"cr\r", "cr\r\n"},       {"", "\r\n"},
  };
  LogMgr log;
  ASSERT_TRUE(log.Init(LogFolder()));
  log.SetLevels(true, true, true);
  for (const Case& c : cases) EXPECT_TRUE(log.Log(0, "%s", c.message));
  log.Close();
  std::string bytes = ReadWholeFile(LogPath());
  std::string expected;
  for (const Case& c : cases) expected += std::string(kPrefix) + c.written;
  // Close's own farewell line comes last.
  expected += std::string(kPrefix) + "Exit log manager\\.\r\n";
  EXPECT_TRUE(std::regex_match(bytes, std::regex(expected))) << bytes;
}

TEST_F(LogMgrTest, RefusesLongMessagesUnknownLevelsAndNullFormats) {
  LogMgr log;
  ASSERT_TRUE(log.Init(LogFolder()));
  log.SetLevels(true, true, true);
  std::string longest(LogMgr::kMaxMessageLength, 'a');
  EXPECT_TRUE(log.Log(2, "%s", longest.c_str()));
  std::string tooLong(LogMgr::kMaxMessageLength + 1, 'b');
  EXPECT_FALSE(log.Log(2, "%s", tooLong.c_str()));
  EXPECT_FALSE(log.Log(3, "level three"));
  EXPECT_FALSE(log.Log(-1, "negative"));
  EXPECT_FALSE(log.Log(0, nullptr));
  log.SetLevels(false, false, false);
  log.Close();
  std::vector<std::string> lines = Lines(ReadWholeFile(LogPath()));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), 26 + longest.size());
  EXPECT_EQ(lines[0].substr(26), longest);
}

TEST_F(LogMgrTest, ASecondInitEmptiesThePreviousLog) {
  {
    LogMgr first;
    ASSERT_TRUE(first.Init(LogFolder()));
    first.Log(2, "from the first run");
  }
  EXPECT_NE(ReadWholeFile(LogPath()).find("first run"), std::string::npos);
  LogMgr second;
  ASSERT_TRUE(second.Init(LogFolder()));
  second.Close();
  EXPECT_EQ(ReadWholeFile(LogPath()), "");
}

TEST_F(LogMgrTest, ClosedLogWritesNothingAndInitWithoutFolderFails) {
  LogMgr log;
  EXPECT_FALSE(log.Init(std::string()));
  EXPECT_FALSE(log.IsOpen());
  EXPECT_TRUE(log.Log(2, "to the standard output only"));
  ASSERT_TRUE(log.Init(LogFolder()));
  log.Close();
  log.Close();
  EXPECT_TRUE(log.Log(2, "after close"));
  EXPECT_EQ(ReadWholeFile(LogPath()), "");
}

struct WriterArgs {
  LogMgr* log;
  int index;
  HANDLE start;
};

const int kWriters = 8;
const int kLinesPerWriter = 200;

unsigned __stdcall WriteLines(void* raw) {
  WriterArgs* args = static_cast<WriterArgs*>(raw);
  WaitForSingleObject(args->start, 10000);
  std::string payload(300, char('a' + args->index));
  for (int i = 0; i < kLinesPerWriter; ++i) args->log->Log(1, "%d %s", args->index, payload.c_str());
  return 0;
}

TEST_F(LogMgrTest, LinesFromManyThreadsNeverInterleave) {
  LogMgr log;
  ASSERT_TRUE(log.Init(LogFolder()));
  log.SetLevels(true, true, true);
  HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  WriterArgs args[kWriters];
  HANDLE threads[kWriters];
  for (int i = 0; i < kWriters; ++i) {
    args[i] = {&log, i, start};
    threads[i] = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, WriteLines, &args[i], 0, nullptr));
    ASSERT_NE(threads[i], nullptr);
  }
  SetEvent(start);
  ASSERT_EQ(WaitForMultipleObjects(kWriters, threads, TRUE, 60000), WAIT_OBJECT_0);
  for (HANDLE thread : threads) CloseHandle(thread);
  CloseHandle(start);
  log.SetLevels(false, false, false);
  log.Close();
  std::vector<std::string> lines = Lines(ReadWholeFile(LogPath()));
  ASSERT_EQ(lines.size(), size_t(kWriters * kLinesPerWriter));
  std::regex whole(std::string(kPrefix) + "([0-7]) (a{300}|b{300}|c{300}|d{300}|e{300}|f{300}|g{300}|h{300})");
  for (const std::string& line : lines) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, whole)) << line;
    EXPECT_EQ(match[3].str()[0], char('a' + (match[2].str()[0] - '0')));
  }
}

}  // namespace
