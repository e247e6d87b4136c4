// Conversion of the browser's script values to the host's neutral values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "NpScriptValues.h"

namespace {

TEST(ScriptValues, NumbersAreTruncatedWhenFiniteAndInRange) {
  const struct {
    double value;
    bool unsignedOk;
    uint32_t unsignedValue;
    bool signedOk;
    int32_t signedValue;
  } cases[] = {
      {2.9, true, 2, true, 2},
      {-2.9, false, 0, true, -2},
      {-0.5, true, 0, true, 0},
      {4294967295.5, true, 4294967295u, false, 0},
      {4294967296.0, false, 0, false, 0},
      {2147483647.9, true, 2147483647u, true, 2147483647},
      {2147483648.0, true, 2147483648u, false, 0},
      {-2147483648.7, false, 0, true, INT32_MIN},
      {-2147483649.0, false, 0, false, 0},
      {std::nan(""), false, 0, false, 0},
      {HUGE_VAL, false, 0, false, 0},
      {-HUGE_VAL, false, 0, false, 0},
      {1e300, false, 0, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    uint32_t u = 7;
    int32_t s = 7;
    EXPECT_EQ(c.unsignedOk, ReadUInt32Argument(DoubleVariant(c.value), &u));
    if (c.unsignedOk) {
      EXPECT_EQ(c.unsignedValue, u);
    }
    EXPECT_EQ(c.signedOk, ReadInt32Argument(DoubleVariant(c.value), &s));
    if (c.signedOk) {
      EXPECT_EQ(c.signedValue, s);
    }
  }
}

TEST(ScriptValues, Int32IsTakenAsItIs) {
  uint32_t u = 0;
  int32_t s = 0;
  EXPECT_TRUE(ReadUInt32Argument(Int32Variant(-1), &u));
  EXPECT_EQ(0xFFFFFFFFu, u);
  EXPECT_TRUE(ReadInt32Argument(Int32Variant(-5), &s));
  EXPECT_EQ(-5, s);
  EXPECT_FALSE(ReadUInt32Argument(BoolVariant(true), &u));
  EXPECT_FALSE(ReadInt32Argument(StringVariant("1", 1), &s));
}

TEST(ScriptValues, TextIsCopiedToItsLengthAndTerminated) {
  const char bytes[] = "abcdefJUNK";
  std::string text;
  ASSERT_TRUE(ReadTextArgument(StringVariant(bytes, 6), &text));
  EXPECT_EQ("abcdef", text);
  EXPECT_EQ(0, text.c_str()[6]);
  ASSERT_TRUE(ReadTextArgument(StringVariant(nullptr, 5), &text));
  EXPECT_EQ("", text);
  ASSERT_TRUE(ReadTextArgument(StringVariant(bytes, 0), &text));
  EXPECT_EQ("", text);
  EXPECT_FALSE(ReadTextArgument(Int32Variant(3), &text));
}

TEST(ScriptValues, ArgumentsMatchTheirParameterType) {
  ScriptValue value;
  EXPECT_TRUE(ToScriptValue(BoolVariant(true), ScriptType::Bool, &value));
  EXPECT_TRUE(value.boolValue);
  EXPECT_FALSE(ToScriptValue(Int32Variant(1), ScriptType::Bool, &value));
  EXPECT_FALSE(ToScriptValue(VoidVariant(), ScriptType::Text, &value));
  const char utf8[] = "\xC3\xA9t\xC3\xA9";
  ASSERT_TRUE(ToScriptValue(StringVariant(utf8, 5), ScriptType::WideText, &value));
  EXPECT_EQ(std::wstring(L"\u00E9t\u00E9"), value.wideText);
  ASSERT_TRUE(ToScriptValue(StringVariant(utf8, 5), ScriptType::Text, &value));
  EXPECT_EQ(std::string(utf8), value.text);
}

TEST(ScriptValues, WideEventTextsGoOutAsUtf8AndNumbersByKind) {
  const ScriptValue args[] = {ScriptValue::WideText(L"\u00E9"), ScriptValue::UInt32(7),
                              ScriptValue::Float(0.5f), ScriptValue::Text("plain")};
  EventArguments converted(args, 4);
  ASSERT_EQ(4u, converted.Count());
  const NPVariant* v = converted.Data();
  ASSERT_EQ(NPVariantType_String, v[0].type);
  EXPECT_EQ(std::string("\xC3\xA9"),
            std::string(v[0].value.stringValue.UTF8Characters, v[0].value.stringValue.UTF8Length));
  EXPECT_EQ(NPVariantType_Int32, v[1].type);
  EXPECT_EQ(7, v[1].value.intValue);
  EXPECT_EQ(NPVariantType_Double, v[2].type);
  EXPECT_DOUBLE_EQ(0.5, v[2].value.doubleValue);
  EXPECT_EQ(std::string("plain"),
            std::string(v[3].value.stringValue.UTF8Characters, v[3].value.stringValue.UTF8Length));
}

}  // namespace
