#include <gtest/gtest.h>

#include "LogLine.h"

namespace {

SYSTEMTIME SampleTime() {
  SYSTEMTIME t = {};
  t.wYear = 2026;
  t.wMonth = 3;
  t.wDay = 7;
  t.wHour = 9;
  t.wMinute = 5;
  t.wSecond = 1;
  return t;
}

TEST(LogLineTest, PrefixCarriesTimeTagAndColon) {
  EXPECT_EQ(FormatLogPrefix(SampleTime(), 0), "2026/03/07-09:05:01<INF>: ");
  EXPECT_EQ(FormatLogPrefix(SampleTime(), 1), "2026/03/07-09:05:01<WAR>: ");
  EXPECT_EQ(FormatLogPrefix(SampleTime(), 2), "2026/03/07-09:05:01<ERR>: ");
}

TEST(LogLineTest, LevelsWithoutTagWriteNothing) {
  EXPECT_EQ(FormatLogLine(SampleTime(), 3, "x"), "");
  EXPECT_EQ(FormatLogLine(SampleTime(), -1, "x"), "");
}

TEST(LogLineTest, EveryLineEndsInCrLf) {
  struct Case {
    const char* message;
    const char* expected;
  } cases[] = {
      {"", "\r\n"},         {"a", "a\r\n"},         {"a\n", "a\r\n"},
      {"a\r", "a\r\n"},     {"a\n\r", "a\r\n"},     {"a\r\n", "a\r\n"},
      {"\n", "\r\n"},       {"two\nlines", "two\nlines\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(WithLogLineEnd(c.message), c.expected) << c.message;
}

TEST(LogLineTest, LineIsPrefixThenMessage) {
  EXPECT_EQ(FormatLogLine(SampleTime(), 0, "Unload game dll."),
            "2026/03/07-09:05:01<INF>: Unload game dll.\r\n");
}

}  // namespace
