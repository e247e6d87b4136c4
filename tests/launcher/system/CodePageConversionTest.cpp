#include <gtest/gtest.h>

#include <string>

#include "CodePageConversion.h"

namespace {

TEST(CodePageConversionTest, EightBitTextBecomesUtf16) {
  struct Case {
    const char* text;
    UINT codePage;
    const wchar_t* expected;
  } cases[] = {
      {"", CP_UTF8, L""},
      {"", CP_ACP, L""},
      {"game.dll", CP_ACP, L"game.dll"},
      {"\xE6\xB2\x90\xE6\xA0\x8E.lnk", CP_UTF8, L"\x6C90\x680E.lnk"},
  };
  for (const Case& c : cases) {
    std::wstring out = L"stale";
    EXPECT_TRUE(ToWideString(c.text, c.codePage, &out)) << c.text;
    EXPECT_EQ(out, c.expected);
  }
}

TEST(CodePageConversionTest, FailuresLeaveAnEmptyOutput) {
  std::wstring out = L"stale";
  EXPECT_FALSE(ToWideString(static_cast<const char*>(nullptr), CP_UTF8, &out));
  EXPECT_EQ(out, L"");
  out = L"stale";
  EXPECT_FALSE(ToWideString("abc", 12345, &out));  // no such code page
  EXPECT_EQ(out, L"");
  EXPECT_FALSE(ToWideString("abc", CP_UTF8, nullptr));
  std::string ansi = "stale";
  EXPECT_FALSE(ToAnsiString(static_cast<const wchar_t*>(nullptr), &ansi));
  EXPECT_EQ(ansi, "");
}

TEST(CodePageConversionTest, AnsiRoundTrip) {
  std::string ansi;
  EXPECT_TRUE(ToAnsiString(L"C:\\Games\\data.pak", &ansi));
  EXPECT_EQ(ansi, "C:\\Games\\data.pak");
  EXPECT_TRUE(ToAnsiString(L"", &ansi));
  EXPECT_EQ(ansi, "");
  EXPECT_EQ(AnsiToWide(WideToAnsi(L"abc")), L"abc");
  EXPECT_EQ(Utf8ToWide("\xE6\x8F\x90"), L"\x63D0");
}

}  // namespace
