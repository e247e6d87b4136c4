#include "UnpackagedFileRecord.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

using FileSystem::IsSafeUnpackagedName;
using FileSystem::ParseUnpackagedFileRecord;
using FileSystem::UnpackagedFileRecord;

namespace {

void Put32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::vector<uint8_t> Record(const std::string& name, uint32_t attributes, uint64_t time,
                            uint32_t crc, const std::string& content) {
  std::vector<uint8_t> out;
  out.push_back(static_cast<uint8_t>(name.size()));
  out.insert(out.end(), name.begin(), name.end());
  Put32(&out, attributes);
  Put32(&out, static_cast<uint32_t>(time));
  Put32(&out, static_cast<uint32_t>(time >> 32));
  Put32(&out, crc);
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

TEST(UnpackagedFileRecord, ParsesEveryField) {
  const std::vector<uint8_t> bytes =
      Record("bin/tool.exe", 0x21, 0x01D2345678ABCDEFull, 0xCAFEBABEu, "payload");
  UnpackagedFileRecord record;
  ASSERT_TRUE(ParseUnpackagedFileRecord(bytes.data(), static_cast<uint32_t>(bytes.size()), &record));
  EXPECT_EQ(record.name, "bin/tool.exe");
  EXPECT_EQ(record.attributes, 0x21u);
  EXPECT_EQ(record.time, 0x01D2345678ABCDEFull);
  EXPECT_EQ(record.crc, 0xCAFEBABEu);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.content), record.contentLength),
            "payload");
  EXPECT_EQ(record.HeadLength(), 17u + 12u);
}

TEST(UnpackagedFileRecord, RecordWithoutContentIsValid) {
  const std::vector<uint8_t> bytes = Record("empty.txt", 0x20, 1, 0, "");
  UnpackagedFileRecord record;
  ASSERT_TRUE(ParseUnpackagedFileRecord(bytes.data(), static_cast<uint32_t>(bytes.size()), &record));
  EXPECT_EQ(record.contentLength, 0u);
}

TEST(UnpackagedFileRecord, LongestNameIs255Bytes) {
  const std::string name(255, 'n');
  const std::vector<uint8_t> bytes = Record(name, 0, 0, 0, "x");
  UnpackagedFileRecord record;
  ASSERT_TRUE(ParseUnpackagedFileRecord(bytes.data(), static_cast<uint32_t>(bytes.size()), &record));
  EXPECT_EQ(record.name, name);
  EXPECT_EQ(record.contentLength, 1u);
}

TEST(UnpackagedFileRecord, EveryShorterStoredSizeThanTheHeadIsRefused) {
  const std::vector<uint8_t> full = Record("abc", 1, 2, 3, "");
  for (uint32_t n = 0; n < full.size(); ++n) {
    // Exact-size copy so the sanitizer sees any read past the stored bytes.
    std::vector<uint8_t> cut(full.begin(), full.begin() + n);
    UnpackagedFileRecord record;
    EXPECT_FALSE(ParseUnpackagedFileRecord(n == 0 ? nullptr : cut.data(), n, &record)) << n;
  }
}

TEST(UnpackagedFileRecord, NullArgumentsAreRefused) {
  const std::vector<uint8_t> bytes = Record("a", 0, 0, 0, "");
  UnpackagedFileRecord record;
  EXPECT_FALSE(ParseUnpackagedFileRecord(nullptr, 18, &record));
  EXPECT_FALSE(ParseUnpackagedFileRecord(bytes.data(), 18, nullptr));
}

struct NameCase {
  const char* name;
  bool safe;
};

const NameCase kNameCases[] = {
    {"readme.txt", true},
    {"bin/tool.exe", true},
    {"bin\\tool.exe", true},
    {"a/./b", true},
    {"./x", true},
    {"a//b", true},
    {"..data/x", true},
    {"x..", true},
    {"a.b/c..d", true},
    {"console.txt", true},
    {"com10", true},
    {"", false},
    {"C:/x", false},
    {"c:x", false},
    {"/abs", false},
    {"\\abs", false},
    {"\\\\server\\share\\x", false},
    {"//server/share/x", false},
    {"a/../../x", false},
    {"..\\x", false},
    {"..", false},
    {"a/..", false},
    {"a:b", false},
    {"a/./../../x", false},
    {"a/.../x", false},
    {"a/.. /x", false},
    {"a/. ./x", false},
    {"a/", false},
    {"a\\", false},
    {".", false},
    {"a/.", false},
    {"nul", false},
    {"dir/CON.txt", false},
    {"lpt1", false},
    {"Com3.log", false},
    {"aux /x", false},
    {"a\tb", false},
    {"a*b", false},
    {"a?b", false},
    {"a|b", false},
    {"a\"b", false},
    {"a<b", false},
};

class NameTable : public testing::TestWithParam<NameCase> {};

TEST_P(NameTable, IsSafeOnlyWhenItStaysInsideTheRoot) {
  EXPECT_EQ(IsSafeUnpackagedName(GetParam().name), GetParam().safe) << GetParam().name;
}

std::string CaseName(const testing::TestParamInfo<NameCase>& info) {
  std::string name = std::to_string(info.index) + "_";
  for (const char* p = info.param.name; *p != '\0'; ++p)
    name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, NameTable, testing::ValuesIn(kNameCases), CaseName);

TEST(UnpackagedName, EmbeddedNulIsRefused) {
  EXPECT_FALSE(IsSafeUnpackagedName(std::string("a\0b", 3)));
}

}  // namespace
