#include "ProductQuery.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ProductReplyBuilder.h"

using FileSystem::BaseUrl;
using FileSystem::ProductQuery;
using FileSystem::ProductReplyError;
using FileSystem::ProductReplyHeader;
using TestFixtures::ReplyPlan;

namespace {

const uint8_t* Bytes(const std::string& text) {
  return reinterpret_cast<const uint8_t*>(text.data());
}

TEST(ProductQueryRequest, IsLengthTypeNameLengthNameAndZero) {
  std::string request;
  ASSERT_TRUE(ProductQuery::BuildRequest("velmor", &request));
  EXPECT_EQ(request, std::string("\x0D\x00\x03\x00\x06\x00velmor\x00", 13));
}

TEST(ProductQueryRequest, ForAnEmptyNameIsSevenBytes) {
  std::string request;
  ASSERT_TRUE(ProductQuery::BuildRequest("", &request));
  EXPECT_EQ(request, std::string("\x07\x00\x03\x00\x00\x00\x00", 7));
}

TEST(ProductQueryRequest, NameBytesAreSentAsConfigured) {
  std::string request;
  ASSERT_TRUE(ProductQuery::BuildRequest("A\xE4z", &request));
  EXPECT_EQ(request, std::string("\x0A\x00\x03\x00\x03\x00" "A\xE4z\x00", 10));
}

TEST(ProductQueryRequest, LongestNameFillsTheLengthField) {
  std::string request;
  ASSERT_TRUE(ProductQuery::BuildRequest(std::string(65528, 'n'), &request));
  ASSERT_EQ(request.size(), 65535u);
  EXPECT_EQ(request.substr(0, 6), std::string("\xFF\xFF\x03\x00\xF8\xFF", 6));
  EXPECT_EQ(request.back(), '\0');
}

TEST(ProductQueryRequest, NameTooLongForTheLengthFieldIsRefused) {
  std::string request = "untouched";
  EXPECT_FALSE(ProductQuery::BuildRequest(std::string(65529, 'n'), &request));
  EXPECT_EQ(request, "untouched");
}

TEST(ProductQueryHeader, DecodesEveryFieldLittleEndian) {
  ReplyPlan plan = TestFixtures::GoodReply("velmor", 0x01020304u);
  const std::string reply = TestFixtures::BuildReply(plan);
  ProductReplyHeader header;
  ASSERT_EQ(ProductQuery::ParseHeader(Bytes(reply), 12, &header), ProductReplyError::kNone);
  EXPECT_EQ(header.length, reply.size());
  EXPECT_EQ(header.type, 3);
  EXPECT_EQ(header.version, 0x01020304u);
  EXPECT_EQ(header.status, 1);
  EXPECT_EQ(header.urlCount, 2);
  EXPECT_EQ(header.nameLength, 6);
  EXPECT_EQ(ProductQuery::BodySize(header), reply.size() - 12);
}

struct HeaderCase {
  const char* label;
  ReplyPlan plan;
  size_t given;  // header bytes handed to the parser
  ProductReplyError expected;
};

ReplyPlan With(ReplyPlan plan, void (*change)(ReplyPlan*)) {
  change(&plan);
  return plan;
}

const ReplyPlan kGood = TestFixtures::GoodReply("velmor");

void PrintTo(const HeaderCase& c, std::ostream* out) { *out << c.label; }

class ProductReplyHeaderCase : public testing::TestWithParam<HeaderCase> {};

TEST_P(ProductReplyHeaderCase, IsJudgedAsExpected) {
  const std::string reply = TestFixtures::BuildReply(GetParam().plan);
  ProductReplyHeader header;
  EXPECT_EQ(ProductQuery::ParseHeader(Bytes(reply), GetParam().given, &header),
            GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProductReplyHeaderCase,
    testing::Values(
        HeaderCase{"good", kGood, 12, ProductReplyError::kNone},
        HeaderCase{"eleven_bytes", kGood, 11, ProductReplyError::kHeaderTooShort},
        HeaderCase{"no_bytes", kGood, 0, ProductReplyError::kHeaderTooShort},
        HeaderCase{"length_12", With(kGood, [](ReplyPlan* s) { s->lengthField = 12; }), 12,
                   ProductReplyError::kLengthTooSmall},
        HeaderCase{"length_0", With(kGood, [](ReplyPlan* s) { s->lengthField = 0; }), 12,
                   ProductReplyError::kLengthTooSmall},
        HeaderCase{"length_13", With(kGood, [](ReplyPlan* s) { s->lengthField = 13; }), 12,
                   ProductReplyError::kNone},
        HeaderCase{"type_2", With(kGood, [](ReplyPlan* s) { s->type = 2; }), 12,
                   ProductReplyError::kWrongType},
        HeaderCase{"type_0x0103", With(kGood, [](ReplyPlan* s) { s->type = 0x0103; }), 12,
                   ProductReplyError::kWrongType},
        HeaderCase{"status_0", With(kGood, [](ReplyPlan* s) { s->status = 0; }), 12,
                   ProductReplyError::kStatusZero},
        HeaderCase{"status_255", With(kGood, [](ReplyPlan* s) { s->status = 255; }), 12,
                   ProductReplyError::kNone},
        HeaderCase{"url_count_0", With(kGood, [](ReplyPlan* s) { s->urlCountField = 0; }), 12,
                   ProductReplyError::kNoUrls}),
    [](const testing::TestParamInfo<HeaderCase>& info) { return std::string(info.param.label); });

struct BodyCase {
  const char* label;
  ReplyPlan plan;
  ProductReplyError expected;
};

void PrintTo(const BodyCase& c, std::ostream* out) { *out << c.label; }

class ProductReplyBodyCase : public testing::TestWithParam<BodyCase> {};

// The body handed over is exactly what the header announces, cut from the
// bytes really laid out (or padded with nothing when it announces more).
TEST_P(ProductReplyBodyCase, IsJudgedAsExpectedAndLeavesNoHalfResult) {
  const std::string reply = TestFixtures::BuildReply(GetParam().plan);
  ProductReplyHeader header;
  ASSERT_EQ(ProductQuery::ParseHeader(Bytes(reply), 12, &header), ProductReplyError::kNone);
  const std::string body = reply.substr(12);
  ASSERT_EQ(ProductQuery::BodySize(header), body.size()) << "case must announce its real size";
  std::vector<BaseUrl> urls(1, BaseUrl{"earlier", false});
  EXPECT_EQ(ProductQuery::ParseBody(header, Bytes(body), body.size(), "velmor", &urls),
            GetParam().expected);
  if (GetParam().expected != ProductReplyError::kNone) {
    ASSERT_EQ(urls.size(), 1u);
  } else {
    ASSERT_EQ(urls.size(), 1u + GetParam().plan.entries.size());
  }
  EXPECT_EQ(urls[0].url, "earlier");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProductReplyBodyCase,
    testing::Values(
        BodyCase{"good", kGood, ProductReplyError::kNone},
        BodyCase{"trailing_bytes_ignored",
                 With(kGood, [](ReplyPlan* s) { s->trailing = "xyz"; }), ProductReplyError::kNone},
        BodyCase{"empty_url", With(kGood, [](ReplyPlan* s) { s->entries[0].url.clear(); }),
                 ProductReplyError::kNone},
        BodyCase{"other_product", With(kGood, [](ReplyPlan* s) { s->name = "velmox"; }),
                 ProductReplyError::kWrongName},
        BodyCase{"shorter_name", With(kGood, [](ReplyPlan* s) { s->name = "velmo"; }),
                 ProductReplyError::kWrongName},
        BodyCase{"longer_name", With(kGood, [](ReplyPlan* s) { s->name = "velmorx"; }),
                 ProductReplyError::kWrongName},
        BodyCase{"upper_case_name", With(kGood, [](ReplyPlan* s) { s->name = "VELMOR"; }),
                 ProductReplyError::kWrongName},
        BodyCase{"name_without_zero",
                 With(kGood,
                      [](ReplyPlan* s) {
                        s->nameTerminator = false;
                        s->entries[0].mirror = true;  // the byte after the name is 1
                        s->trailing = std::string(1, '\0');
                      }),
                 ProductReplyError::kWrongName},
        BodyCase{"name_length_shorter",
                 With(kGood, [](ReplyPlan* s) { s->nameLengthField = 5; }),
                 ProductReplyError::kWrongName},
        BodyCase{"name_length_beyond_block",
                 With(kGood, [](ReplyPlan* s) { s->nameLengthField = 1000; }),
                 ProductReplyError::kNameBeyondBlock},
        BodyCase{"name_length_65535",
                 With(kGood, [](ReplyPlan* s) { s->nameLengthField = 65535; }),
                 ProductReplyError::kNameBeyondBlock},
        BodyCase{"name_zero_just_outside",
                 With(kGood,
                      [](ReplyPlan* s) {
                        s->nameTerminator = false;
                        s->entries.clear();
                        s->urlCountField = 1;
                      }),
                 ProductReplyError::kNameBeyondBlock},
        BodyCase{"url_length_beyond_block",
                 With(kGood, [](ReplyPlan* s) { s->entries[1].lengthField = 1000; }),
                 ProductReplyError::kUrlBeyondBlock},
        BodyCase{"url_length_65535",
                 With(kGood, [](ReplyPlan* s) { s->entries[0].lengthField = 65535; }),
                 ProductReplyError::kUrlBeyondBlock},
        BodyCase{"last_url_zero_missing",
                 With(kGood, [](ReplyPlan* s) { s->entries[1].terminator = false; }),
                 ProductReplyError::kUrlBeyondBlock},
        BodyCase{"more_urls_counted_than_sent",
                 With(kGood, [](ReplyPlan* s) { s->urlCountField = 3; }),
                 ProductReplyError::kUrlBeyondBlock},
        BodyCase{"url_length_shorter_than_url",
                 With(kGood, [](ReplyPlan* s) { s->entries[0].lengthField = 5; }),
                 ProductReplyError::kBadUrl},
        BodyCase{"zero_inside_url",
                 With(kGood,
                      [](ReplyPlan* s) { s->entries[0].url = std::string("http\0x", 6); }),
                 ProductReplyError::kBadUrl},
        BodyCase{"version_65535",
                 With(kGood, [](ReplyPlan* s) { s->version = 65535; }), ProductReplyError::kNone},
        BodyCase{"version_65536", With(kGood, [](ReplyPlan* s) { s->version = 65536; }),
                 ProductReplyError::kVersionTooLarge},
        BodyCase{"version_max", With(kGood, [](ReplyPlan* s) { s->version = 0xFFFFFFFFu; }),
                 ProductReplyError::kVersionTooLarge}),
    [](const testing::TestParamInfo<BodyCase>& info) { return std::string(info.param.label); });

TEST(ProductReplyBody, EntriesComeInReplyOrderWithTheirMirrorFlags) {
  ReplyPlan plan = kGood;
  plan.entries.push_back({"http://third/", false});
  plan.entries[0].mirror = false;
  plan.entries[1].mirror = true;
  const std::string reply = TestFixtures::BuildReply(plan);
  // Any byte other than 0 marks a mirror.
  std::string patched = reply;
  const size_t firstEntry = 12 + 7;
  patched[firstEntry + 3 + plan.entries[0].url.size() + 1] = 2;
  ProductReplyHeader header;
  ASSERT_EQ(ProductQuery::ParseHeader(Bytes(patched), 12, &header), ProductReplyError::kNone);
  std::vector<BaseUrl> urls;
  ASSERT_EQ(ProductQuery::ParseBody(header, Bytes(patched) + 12, patched.size() - 12, "velmor",
                                    &urls),
            ProductReplyError::kNone);
  ASSERT_EQ(urls.size(), 3u);
  EXPECT_EQ(urls[0].url, "http://127.0.0.1/main/");
  EXPECT_FALSE(urls[0].isMirror);
  EXPECT_EQ(urls[1].url, "http://127.0.0.1/mirror/");
  EXPECT_TRUE(urls[1].isMirror);
  EXPECT_EQ(urls[2].url, "http://third/");
  EXPECT_FALSE(urls[2].isMirror);
}

TEST(ProductReplyBody, OfAnotherSizeThanAnnouncedIsRefused) {
  const std::string reply = TestFixtures::BuildReply(kGood);
  ProductReplyHeader header;
  ASSERT_EQ(ProductQuery::ParseHeader(Bytes(reply), 12, &header), ProductReplyError::kNone);
  std::vector<BaseUrl> urls;
  EXPECT_EQ(ProductQuery::ParseBody(header, Bytes(reply) + 12, reply.size() - 13, "velmor", &urls),
            ProductReplyError::kBodySize);
  EXPECT_TRUE(urls.empty());
}

// A body cut out of a larger buffer: the parser reads nothing past its end,
// which the sanitizers would see; here the bytes after it would even look
// like a valid continuation.
TEST(ProductReplyBody, IsNeverReadBeyondTheReceivedBlock) {
  ReplyPlan plan = kGood;
  const std::string full = TestFixtures::BuildReply(plan);
  const std::string body = full.substr(12);
  for (size_t cut = 0; cut < body.size(); ++cut) {
    ReplyPlan lying = plan;
    lying.lengthField = static_cast<int>(12 + cut);
    const std::string header = TestFixtures::BuildReplyHeader(lying, cut);
    ProductReplyHeader parsed;
    const ProductReplyError headerResult = ProductQuery::ParseHeader(Bytes(header), 12, &parsed);
    if (headerResult != ProductReplyError::kNone) {
      EXPECT_EQ(cut, 0u);
      continue;
    }
    std::vector<uint8_t> block(body.begin(), body.begin() + static_cast<long>(cut));
    std::vector<BaseUrl> urls;
    EXPECT_NE(ProductQuery::ParseBody(parsed, block.data(), block.size(), "velmor", &urls),
              ProductReplyError::kNone)
        << "cut at " << cut;
    EXPECT_TRUE(urls.empty());
  }
}

}  // namespace
