#include "HostAddress.h"

#include <gtest/gtest.h>

#include <string>

using FileSystem::HostAddress;

namespace {

const char kIPv4First[4] = {127, 0, 0, 1};
const char kIPv4Second[4] = {10, 1, 2, 3};
const char kIPv6[16] = {0x20, 0x01, 0x0d, static_cast<char>(0xb8), 0, 0, 0, 0,
                        0,    0,    0,    0,                       0, 0, 0, 1};

const char* const kTwoIPv4[] = {kIPv4First, kIPv4Second, nullptr};
const char* const kOneIPv6[] = {kIPv6, nullptr};
const char* const kNone[] = {nullptr};

struct AnswerCase {
  const char* label;
  int family;
  int length;
  const char* const* addresses;
  bool accepted;
};

void PrintTo(const AnswerCase& c, std::ostream* out) { *out << c.label; }

class ResolverAnswer : public testing::TestWithParam<AnswerCase> {};

TEST_P(ResolverAnswer, IsTakenOnlyWhenItIsIPv4) {
  uint8_t address[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  EXPECT_EQ(HostAddress::FirstIPv4(GetParam().family, GetParam().length, GetParam().addresses,
                                   address),
            GetParam().accepted);
  if (GetParam().accepted) {
    EXPECT_EQ(address[0], 127);
    EXPECT_EQ(address[1], 0);
    EXPECT_EQ(address[2], 0);
    EXPECT_EQ(address[3], 1);
  } else {
    EXPECT_EQ(address[0], 0xAA) << "nothing is copied from a refused answer";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ResolverAnswer,
    testing::Values(AnswerCase{"ipv4_first_of_two", 2, 4, kTwoIPv4, true},
                    AnswerCase{"ipv6", 23, 16, kOneIPv6, false},
                    AnswerCase{"ipv6_family_with_four_bytes", 23, 4, kTwoIPv4, false},
                    AnswerCase{"ipv4_family_with_sixteen_bytes", 2, 16, kOneIPv6, false},
                    AnswerCase{"other_family", 17, 4, kTwoIPv4, false},
                    AnswerCase{"empty_list", 2, 4, kNone, false},
                    AnswerCase{"no_list", 2, 4, nullptr, false}),
    [](const testing::TestParamInfo<AnswerCase>& info) { return std::string(info.param.label); });

}  // namespace
