#include "UrlParser.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

using FileSystem::UrlParser;

namespace {

struct ParseCase {
  const char* label;
  std::string url;
  bool parses;
  std::string host;
  int port;
  std::string encodedPath;
  std::string directoryUrl;
  std::string cleanUrl;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.label; }

const ParseCase kParseCases[] = {
    {"plain", "http://example.com/dir/file.pak", true, "example.com", 80, "/dir/file.pak",
     "http://example.com/dir", "http://example.com/dir/file.pak"},
    {"scheme in capitals", "HTTP://Example.com/a", true, "Example.com", 80, "/a",
     "HTTP://Example.com", "HTTP://Example.com/a"},
    {"ftp scheme refused", "ftp://example.com/a", false, "", 0, "", "", ""},
    {"no scheme refused", "example.com/a", false, "", 0, "", "", ""},
    {"no slash after host", "http://example.com", false, "", 0, "", "", ""},
    {"single slash path", "http://example.com/", true, "example.com", 80, "/",
     "http://example.com", "http://example.com/"},
    {"port 8080 kept in directory", "http://h:8080/d/f", true, "h", 8080, "/d/f", "http://h:8080/d",
     "http://h:8080/d/f"},
    {"empty port is 0", "http://h:/f", true, "h", 0, "/f", "http://h:", "http://h:/f"},
    {"port 65535", "http://h:65535/f", true, "h", 65535, "/f", "http://h:65535", "http://h:65535/f"},
    {"port above 65535 refused", "http://h:65536/f", false, "", 0, "", "", ""},
    {"port 99999 refused", "http://h:99999/f", false, "", 0, "", "", ""},
    {"six digits refused", "http://h:123456/f", false, "", 0, "", "", ""},
    {"letter among digits refused", "http://h:80a/f", false, "", 0, "", "", ""},
    {"authority starting with colon", "http://:81/f", true, ":81", 80, "/f", "http://:81",
     "http://:81/f"},
    {"credentials left out", "http://user:pw@h/d/f", true, "h", 80, "/d/f", "http://h/d",
     "http://h/d/f"},
    {"user without colon refused", "http://user@h/f", false, "", 0, "", "", ""},
    {"empty password refused", "http://user:@h/f", false, "", 0, "", "", ""},
    {"at sign in path is no credential", "http://h/a@b", true, "h", 80, "/a@b", "http://h",
     "http://h/a@b"},
    {"blanks around removed", "  http://h/f  ", true, "h", 80, "/f", "http://h", "http://h/f"},
    {"leading tab kept and refused", "\thttp://h/f", false, "", 0, "", "", ""},
    {"blank in path encoded", "http://h/a b", true, "h", 80, "/a%20b", "http://h", "http://h/a b"},
    {"encoded blank stays", "http://h/a%20b", true, "h", 80, "/a%20b", "http://h", "http://h/a%20b"},
    {"lone percent", "http://h/a%2", true, "h", 80, "/a%252", "http://h", "http://h/a%2"},
    {"percent with lower hex", "http://h/%af", true, "h", 80, "/%af", "http://h", "http://h/%af"},
    {"reserved bytes encoded", "http://h/\"<>\\^`{|}\x7F\xFF", true, "h", 80,
     "/%22%3C%3E%5C%5E%60%7B%7C%7D%7F%FF", "http://h", "http://h/\"<>\\^`{|}\x7F\xFF"},
    {"safe punctuation kept", "http://h/!#$&'()*+,-.:;=?@[]_~", true, "h", 80,
     "/!#$&'()*+,-.:;=?@[]_~", "http://h", "http://h/!#$&'()*+,-.:;=?@[]_~"},
    {"empty authority refused", "http:///f", false, "", 0, "", "", ""},
    {"empty authority after credentials refused", "http://u:p@/f", false, "", 0, "", "", ""},
    {"CR in host refused", "http://h\r\nX: y/f", false, "", 0, "", "", ""},
    {"blank in host refused", "http://a b/f", false, "", 0, "", "", ""},
    {"control byte in host refused", "http://a\x01" "b:80/f", false, "", 0, "", "", ""},
    {"DEL in host refused", "http://a\x7F/f", false, "", 0, "", "", ""},
    {"host of 255", "http://" + std::string(255, 'h') + "/f", true, std::string(255, 'h'), 80,
     "/f", "http://" + std::string(255, 'h'), "http://" + std::string(255, 'h') + "/f"},
    {"0 byte in path refused", std::string("http://h/a\0b", 12), false, "", 0, "", "", ""},
    {"0 byte in host refused", std::string("http://h\0x/f", 12), false, "", 0, "", "", ""},
    {"host of 256 refused", "http://" + std::string(256, 'h') + "/f", false, "", 0, "", "", ""},
};

class UrlParse : public testing::TestWithParam<ParseCase> {};

TEST_P(UrlParse, SplitsTheUrlOrFails) {
  const ParseCase& c = GetParam();
  UrlParser parser;
  ASSERT_EQ(parser.Parse(c.url), c.parses);
  if (!c.parses) return;
  EXPECT_EQ(parser.GetHost(), c.host);
  EXPECT_EQ(parser.GetPort(), c.port);
  EXPECT_EQ(parser.GetEncodedPath(), c.encodedPath);
  EXPECT_EQ(parser.GetDirectoryUrl(), c.directoryUrl);
  EXPECT_EQ(parser.GetCleanUrl(), c.cleanUrl);
  EXPECT_EQ(parser.GetScheme(), UrlParser::kSchemeHttp);
}

INSTANTIATE_TEST_SUITE_P(Cases, UrlParse, testing::ValuesIn(kParseCases),
                         [](const testing::TestParamInfo<ParseCase>& info) {
                           std::string name;
                           for (char c : std::string(info.param.label))
                             name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

TEST(UrlParser, CredentialsAreSplitAtTheColon) {
  UrlParser parser;
  ASSERT_TRUE(parser.Parse("http://me:secret@h/f"));
  EXPECT_EQ(parser.GetUser(), "me");
  EXPECT_EQ(parser.GetPassword(), "secret");
}

TEST(UrlParser, WithoutCredentialsTheDefaultsApply) {
  UrlParser parser;
  ASSERT_TRUE(parser.Parse("http://h/a@b"));
  EXPECT_EQ(parser.GetUser(), "anonymous");
  EXPECT_EQ(parser.GetPassword(), "582039");
  EXPECT_EQ(parser.GetPath(), "/a@b");
}

TEST(UrlParser, CredentialsOfThirtyCharactersFail) {
  UrlParser parser;
  EXPECT_TRUE(parser.Parse("http://" + std::string(29, 'u') + ":p@h/f"));
  UrlParser longUser;
  EXPECT_FALSE(longUser.Parse("http://" + std::string(30, 'u') + ":p@h/f"));
  UrlParser longPassword;
  EXPECT_FALSE(longPassword.Parse("http://u:" + std::string(30, 'p') + "@h/f"));
}

TEST(UrlParser, UrlOf510CharactersParsesAnd511Fails) {
  const std::string prefix = "http://h/";
  UrlParser fits;
  EXPECT_TRUE(fits.Parse(prefix + std::string(510 - prefix.size(), 'a')));
  UrlParser tooLong;
  EXPECT_FALSE(tooLong.Parse(prefix + std::string(511 - prefix.size(), 'a')));
}

TEST(UrlParser, SchemeIsStoredEvenWhenRefused) {
  UrlParser parser;
  EXPECT_FALSE(parser.Parse("FTP://h/f"));
  EXPECT_EQ(parser.GetScheme(), UrlParser::kSchemeFtp);
}

TEST(UrlParser, DefaultPortsOfTheSchemes) {
  EXPECT_EQ(UrlParser::DefaultPort(UrlParser::kSchemeFtp), 21);
  EXPECT_EQ(UrlParser::DefaultPort(UrlParser::kSchemeHttp), 80);
  EXPECT_EQ(UrlParser::DefaultPort(UrlParser::kSchemeUnknown), 0);
}

TEST(UrlParser, BlanksOnlyIsRefused) {
  UrlParser parser;
  EXPECT_FALSE(parser.Parse("      "));
}

}  // namespace
