#include "HttpRequest.h"

#include <gtest/gtest.h>

#include <string>

using FileSystem::HttpRequest;

namespace {

HttpRequest::Fields SampleFields() {
  HttpRequest::Fields fields;
  fields.path = "/d/0000abcd_00001234_7.pak";
  fields.host = "files.example.com";
  fields.referer = "http://files.example.com/d";
  fields.cookies = {"a=1", "b=2"};
  fields.resumePoint = 4096;
  return fields;
}

const char kCommon[] =
    "User-Agent: Mozilla/4.0(compatible;MSIE 5.00;Windows 98)\r\n"
    "Accept: */*\r\n"
    "Host: files.example.com\r\n"
    "Referer: http://files.example.com/d\r\n"
    "Cookie: a=1\r\n"
    "Cookie: b=2\r\n";

struct KindCase {
  const char* label;
  HttpRequest::Kind kind;
  std::string expected;
};

const KindCase kKindCases[] = {
    {"head", HttpRequest::kHead,
     std::string("HEAD /d/0000abcd_00001234_7.pak HTTP/1.1\r\n") + kCommon +
         "Pragma: no-cache\r\nCache-Control:no-cache\r\nConnection: Keep-Alive\r\n\r\n"},
    {"ranged get", HttpRequest::kGetRange,
     std::string("GET /d/0000abcd_00001234_7.pak HTTP/1.1\r\n") + kCommon +
         "Connection: close\r\nRange: bytes=4096-\r\n\r\n"},
    {"get", HttpRequest::kGet,
     std::string("GET /d/0000abcd_00001234_7.pak HTTP/1.1\r\n") + kCommon +
         "Connection: close\r\n\r\n"},
    {"get 1.0", HttpRequest::kGet10,
     std::string("GET /d/0000abcd_00001234_7.pak HTTP/1.0\r\n") + kCommon +
         "Connection: close\r\n\r\n"},
};

void PrintTo(const KindCase& c, std::ostream* os) { *os << c.label; }

class RequestText : public testing::TestWithParam<KindCase> {};

TEST_P(RequestText, IsWrittenByteForByte) {
  std::string text;
  ASSERT_TRUE(HttpRequest::Format(GetParam().kind, SampleFields(), &text));
  EXPECT_EQ(text, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Kinds, RequestText, testing::ValuesIn(kKindCases));

TEST(HttpRequest, RangeFromZeroIsWritten) {
  HttpRequest::Fields fields = SampleFields();
  fields.resumePoint = 0;
  std::string text;
  ASSERT_TRUE(HttpRequest::Format(HttpRequest::kGetRange, fields, &text));
  EXPECT_NE(text.find("\r\nRange: bytes=0-\r\n\r\n"), std::string::npos);
}

TEST(HttpRequest, LineThatFillsTheLineBufferIsWritten) {
  HttpRequest::Fields fields = SampleFields();
  // "Referer: " + value + CR LF = 511 characters.
  fields.referer = std::string(511 - 9 - 2, 'r');
  std::string text;
  EXPECT_TRUE(HttpRequest::Format(HttpRequest::kGet, fields, &text));
  fields.referer += 'r';
  EXPECT_FALSE(HttpRequest::Format(HttpRequest::kGet, fields, &text));
  EXPECT_TRUE(text.empty());
}

TEST(HttpRequest, RequestLongerThanItsBufferIsRefusedWhole) {
  HttpRequest::Fields fields = SampleFields();
  fields.cookies.assign(20, std::string(100, 'c'));
  std::string text;
  EXPECT_FALSE(HttpRequest::Format(HttpRequest::kHead, fields, &text));
  EXPECT_TRUE(text.empty());
}

TEST(HttpRequest, RequestOfExactlyTheBufferIsWritten) {
  HttpRequest::Fields fields = SampleFields();
  fields.cookies.clear();
  std::string text;
  ASSERT_TRUE(HttpRequest::Format(HttpRequest::kGet, fields, &text));
  size_t room = HttpRequest::kMaxRequestLength - text.size();
  // Cookie lines of "Cookie: " + value + CR LF, 500 characters each, then
  // one that fills the rest exactly.
  while (room > 500 + 20) {
    fields.cookies.push_back(std::string(490, 'c'));
    room -= 500;
  }
  fields.cookies.push_back(std::string(room - 10, 'c'));
  ASSERT_TRUE(HttpRequest::Format(HttpRequest::kGet, fields, &text));
  EXPECT_EQ(text.size(), HttpRequest::kMaxRequestLength);
  fields.cookies.back() += 'c';
  EXPECT_FALSE(HttpRequest::Format(HttpRequest::kGet, fields, &text));
}

struct InjectionCase {
  const char* label;
  void (*spoil)(HttpRequest::Fields*);
};

const InjectionCase kInjectionCases[] = {
    {"host", [](HttpRequest::Fields* f) { f->host += "\r\nX-Evil: 1"; }},
    {"path", [](HttpRequest::Fields* f) { f->path += "\n"; }},
    {"referer", [](HttpRequest::Fields* f) { f->referer += "\r"; }},
    {"cookie", [](HttpRequest::Fields* f) { f->cookies.push_back("x\r\ny"); }},
};

void PrintTo(const InjectionCase& c, std::ostream* os) { *os << c.label; }

class RequestInjection : public testing::TestWithParam<InjectionCase> {};

TEST_P(RequestInjection, LineBreakInAFieldRefusesTheRequest) {
  HttpRequest::Fields fields = SampleFields();
  GetParam().spoil(&fields);
  std::string text;
  EXPECT_FALSE(HttpRequest::Format(HttpRequest::kGet, fields, &text));
  EXPECT_TRUE(text.empty());
}

INSTANTIATE_TEST_SUITE_P(Fields, RequestInjection, testing::ValuesIn(kInjectionCases));

}  // namespace
