#include "HttpResponseHead.h"

#include <gtest/gtest.h>

#include <string>

using FileSystem::HttpResponseHead;

namespace {

struct GetHeadCase {
  const char* label;
  std::string head;
  int status;
  bool hasLocation;
  std::string location;
};

const GetHeadCase kGetHeadCases[] = {
    {"ok", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n", 200, false, ""},
    {"partial", "HTTP/1.1 206 Partial Content\r\n\r\n", 206, false, ""},
    {"status line in lower case", "http/1.0 302 Found\r\nlocation: http://h/x\r\n\r\n", 302, true,
     "http://h/x"},
    {"location needs its blank", "HTTP/1.1 302 Found\r\nLocation:http://h/x\r\n\r\n", 302, false,
     ""},
    {"no status line", "Server: x\r\n\r\n", -1, false, ""},
    {"redirect without location", "HTTP/1.1 301 Moved\r\n\r\n", 301, false, ""},
    {"location cut with its line", "HTTP/1.1 302 F\r\nLocation: " + std::string(300, 'a') +
                                       "\r\n\r\n",
     302, true, std::string(254 - 10, 'a')},
    {"short status line", "HTTP/1.1 2\r\n\r\n", 2, false, ""},
};

void PrintTo(const GetHeadCase& c, std::ostream* os) { *os << c.label; }

class GetHead : public testing::TestWithParam<GetHeadCase> {};

TEST_P(GetHead, StatusAndLocationAreRead) {
  const HttpResponseHead::GetAnswer answer = HttpResponseHead::ReadGetHead(GetParam().head);
  EXPECT_EQ(answer.status, GetParam().status);
  EXPECT_EQ(answer.hasLocation, GetParam().hasLocation);
  EXPECT_EQ(answer.location, GetParam().location);
}

INSTANTIATE_TEST_SUITE_P(Cases, GetHead, testing::ValuesIn(kGetHeadCases));

struct LengthCase {
  const char* label;
  std::string value;  // the text after "Content-Length:"
  bool tooLong;
  int64_t length;
};

const LengthCase kLengthCases[] = {
    {"plain", " 1234", false, 1234},
    {"no blank", "77", false, 77},
    {"tab and blanks", " \t 12", false, 12},
    {"25 characters", std::string(6, ' ') + "1000000000000000000", false, 1000000000000000000LL},
    {"26 characters", std::string(7, ' ') + "1000000000000000000", true, 0},
    {"largest signed 64-bit", "9223372036854775807", false, INT64_MAX},
    {"one more overflows", "9223372036854775808", true, 0},
    {"twenty nines overflow", "99999999999999999999", true, 0},
    {"digits then text", " 12abc", false, 12},
    {"no digits", " abc", false, 0},
    {"negative", " -5", false, -5},
};

void PrintTo(const LengthCase& c, std::ostream* os) { *os << c.label; }

class ContentLength : public testing::TestWithParam<LengthCase> {};

TEST_P(ContentLength, IsReadOrTooLong) {
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Length:" + GetParam().value + "\r\nX: y\r\n\r";
  const HttpResponseHead::InfoAnswer answer = HttpResponseHead::ReadInfoHead(head);
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.lengthTooLong, GetParam().tooLong);
  if (GetParam().tooLong) {
    EXPECT_EQ(answer.lengthTextSize, GetParam().value.size());
  } else {
    EXPECT_EQ(answer.contentLength, GetParam().length);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ContentLength, testing::ValuesIn(kLengthCases));

TEST(InfoHead, ItemsKeepTheirOrder) {
  const std::string head =
      "HTTP/1.1 302 Found\r\n"
      "set-cookie:   sid=abc; path=/\r\n"
      "Location:   /other/file\r\n"
      "SET-COOKIE: sid=abc\r\n"
      "\r";
  const HttpResponseHead::InfoAnswer answer = HttpResponseHead::ReadInfoHead(head);
  EXPECT_EQ(answer.status, 302);
  EXPECT_EQ(answer.contentLength, -1);
  ASSERT_EQ(answer.items.size(), 3u);
  EXPECT_EQ(answer.items[0].kind, HttpResponseHead::Item::kCookie);
  EXPECT_EQ(answer.items[0].value, "sid=abc");
  EXPECT_EQ(answer.items[1].kind, HttpResponseHead::Item::kLocation);
  EXPECT_EQ(answer.items[1].value, "/other/file");
  EXPECT_EQ(answer.items[2].value, "sid=abc");
}

TEST(InfoHead, CookieWithControlCharactersIsNotKept) {
  const std::string head = "HTTP/1.1 200 OK\r\nSet-Cookie: a=1\x01x\r\nSet-Cookie: b=2\r\n\r";
  const HttpResponseHead::InfoAnswer answer = HttpResponseHead::ReadInfoHead(head);
  ASSERT_EQ(answer.items.size(), 1u);
  EXPECT_EQ(answer.items[0].value, "b=2");
}

TEST(InfoHead, TextEndsBeforeTheFinalLineFeed) {
  EXPECT_EQ(HttpResponseHead::InfoHeadText("HTTP/1.1 200 OK\r\n\r\nbody"), "HTTP/1.1 200 OK\r\n\r");
  EXPECT_EQ(HttpResponseHead::InfoHeadText("HTTP/1.1 200 OK\r\n"), "");
}

TEST(InfoHead, LineWithoutLineEndIsNotExamined) {
  const HttpResponseHead::InfoAnswer answer =
      HttpResponseHead::ReadInfoHead("HTTP/1.1 200 OK\r\nContent-Length: 5");
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.contentLength, -1);
}

struct ResolveCase {
  const char* label;
  std::string value;
  int port;
  std::string expected;
};

const ResolveCase kResolveCases[] = {
    {"absolute stays", "http://other:81/x", 8080, "http://other:81/x"},
    {"absolute in capitals stays", "HTTP://other/x", 80, "HTTP://other/x"},
    {"ftp stays", "FTP://other/x", 80, "FTP://other/x"},
    {"root relative on port 80", "/x/y.pak", 80, "http://host/x/y.pak"},
    {"root relative keeps the port", "/x/y.pak", 8080, "http://host:8080/x/y.pak"},
    {"bare name in the request's directory", "y.pak", 80, "http://host/d/e/y.pak"},
    {"bare name keeps the port", "y.pak", 8080, "http://host:8080/d/e/y.pak"},
};

void PrintTo(const ResolveCase& c, std::ostream* os) { *os << c.label; }

class Location : public testing::TestWithParam<ResolveCase> {};

TEST_P(Location, IsResolvedAgainstTheServerThatAnswered) {
  EXPECT_EQ(HttpResponseHead::ResolveLocation(GetParam().value, "host", GetParam().port,
                                              "/d/e/f.pak"),
            GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Location, testing::ValuesIn(kResolveCases));

TEST(Location, RequestDirectoryOfAPathWithoutSlashIsEmpty) {
  EXPECT_EQ(HttpResponseHead::RequestDirectory("abc"), "");
  EXPECT_EQ(HttpResponseHead::RequestDirectory("/abc"), "");
  EXPECT_EQ(HttpResponseHead::RequestDirectory("/a/b"), "/a");
}

}  // namespace
