// Conversions between UTF-8, UTF-16 and the ANSI code page.
#include <gtest/gtest.h>

#include "TextConversion.h"

namespace {

TEST(TextConversionTest, Utf8RoundTrip) {
  std::string utf8 = "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xae";
  std::wstring wide = Utf8ToWide(utf8);
  EXPECT_EQ(std::wstring(L"caf\u00e9 \u20ac \U0001F3AE"), wide);
  EXPECT_EQ(utf8, WideToUtf8(wide));
}

TEST(TextConversionTest, EmptyStaysEmpty) {
  EXPECT_EQ(L"", Utf8ToWide(""));
  EXPECT_EQ("", WideToUtf8(L""));
  EXPECT_EQ(L"", AnsiToWide(""));
  EXPECT_EQ("", WideToAnsi(L""));
}

TEST(TextConversionTest, AnsiRoundTripOfPlainText) {
  EXPECT_EQ(L"plain text 123", AnsiToWide("plain text 123"));
  EXPECT_EQ("plain text 123", WideToAnsi(L"plain text 123"));
  EXPECT_EQ("abc", Utf8ToAnsi("abc"));
  EXPECT_EQ("abc", AnsiToUtf8("abc"));
}

TEST(TextConversionTest, EmbeddedZerosAreKept) {
  std::string text("a\0b", 3);
  EXPECT_EQ(3u, Utf8ToWide(text).size());
  EXPECT_EQ(text, WideToUtf8(Utf8ToWide(text)));
}

}  // namespace
