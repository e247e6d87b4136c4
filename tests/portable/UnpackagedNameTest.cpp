#include "UnpackagedName.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

using FileSystem::IsSafeUnpackagedName;

namespace {

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
