// The one entry decoder: the rules checked before a buffer is taken, and the
// content with its terminating 0.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "EntryCodec.h"

using FileSystem::CheckEntryContent;
using FileSystem::DecodeEntryContent;
using FileSystem::EncodeEntry;
using FileSystem::EntryDecodeResult;
using FileSystem::kMethodLzma;
using FileSystem::kMethodLzo;
using FileSystem::kMethodStored;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Content() {
  std::string text;
  for (int i = 0; i < 400; ++i) text += "entry " + std::to_string(i % 17) + " ";
  return Bytes(text.begin(), text.end());
}

Bytes Encoded(int method, const Bytes& content) {
  Bytes out;
  EXPECT_EQ(EncodeEntry(method, content.data(), static_cast<uint32_t>(content.size()), &out),
            method);
  return out;
}

struct Case {
  const char* label;
  int method;
  int cut;        // bytes removed from the stored end
  int sizeDelta;  // the entry's size minus the content's
  EntryDecodeResult expected;
};

class EntryContent : public testing::TestWithParam<Case> {};

TEST_P(EntryContent, DecodesOrTellsWhyNot) {
  const Case& c = GetParam();
  const Bytes content = Content();
  const bool packed = c.method == kMethodLzo || c.method == kMethodLzma;
  Bytes stored = packed ? Encoded(c.method, content) : content;
  stored.resize(stored.size() - c.cut);
  const uint32_t size = static_cast<uint32_t>(content.size() + c.sizeDelta);
  const uint32_t storedLen = static_cast<uint32_t>(stored.size());
  // A guard byte past the room shows nothing is written beyond it.
  Bytes out(size_t{size} + 2, 0xEE);
  const EntryDecodeResult checked = CheckEntryContent(c.method, stored.data(), storedLen, size);
  const EntryDecodeResult decoded =
      DecodeEntryContent(c.method, stored.data(), storedLen, size, out.data());
  EXPECT_EQ(decoded, c.expected);
  if (c.expected == EntryDecodeResult::kInvalid || c.expected == EntryDecodeResult::kSizeRefused)
    EXPECT_EQ(checked, c.expected);
  else
    EXPECT_EQ(checked, EntryDecodeResult::kDecoded);
  EXPECT_EQ(out[size + 1], 0xEE);
  if (decoded == EntryDecodeResult::kDecoded) {
    EXPECT_EQ(Bytes(out.begin(), out.begin() + size), content);
    EXPECT_EQ(out[size], 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EntryContent,
    testing::Values(Case{"stored", kMethodStored, 0, 0, EntryDecodeResult::kDecoded},
                    Case{"storedLonger", kMethodStored, 0, 1, EntryDecodeResult::kInvalid},
                    Case{"storedShorter", kMethodStored, 1, 0, EntryDecodeResult::kInvalid},
                    Case{"lzo", kMethodLzo, 0, 0, EntryDecodeResult::kDecoded},
                    Case{"lzoCut", kMethodLzo, 20, 0, EntryDecodeResult::kDecodeError},
                    Case{"lzoLonger", kMethodLzo, 0, 1, EntryDecodeResult::kDecodeError},
                    Case{"lzoShorter", kMethodLzo, 0, -1, EntryDecodeResult::kDecodeError},
                    Case{"lzma", kMethodLzma, 0, 0, EntryDecodeResult::kDecoded},
                    Case{"lzmaCut", kMethodLzma, 20, 0, EntryDecodeResult::kDecodeError},
                    Case{"lzmaSizeDiffers", kMethodLzma, 0, -1, EntryDecodeResult::kSizeRefused},
                    Case{"method3", 3, 0, 0, EntryDecodeResult::kInvalid}),
    [](const testing::TestParamInfo<Case>& i) { return std::string(i.param.label); });

TEST(EntryContentRules, ASizeWhoseTerminatorWouldWrapIsInvalid) {
  const uint8_t stored[16] = {};
  for (int method : {kMethodStored, kMethodLzo, kMethodLzma})
    EXPECT_EQ(CheckEntryContent(method, stored, sizeof stored, 0xFFFFFFFFu),
              EntryDecodeResult::kInvalid)
        << method;
}

TEST(EntryContentRules, AnLzmaBlockShorterThanItsHeaderIsRefusedBeforeDecoding) {
  const uint8_t stored[12] = {0x5D, 0, 0, 0, 1};
  EXPECT_EQ(CheckEntryContent(kMethodLzma, stored, sizeof stored, 100),
            EntryDecodeResult::kSizeRefused);
}

TEST(EntryContentRules, EmptyStoredContentGetsItsTerminator) {
  uint8_t out[1] = {0xEE};
  EXPECT_EQ(DecodeEntryContent(kMethodStored, nullptr, 0, 0, out), EntryDecodeResult::kDecoded);
  EXPECT_EQ(out[0], 0);
}

TEST(EntryContentRules, NoDestinationIsInvalid) {
  const Bytes content = Content();
  EXPECT_EQ(DecodeEntryContent(kMethodStored, content.data(),
                               static_cast<uint32_t>(content.size()),
                               static_cast<uint32_t>(content.size()), nullptr),
            EntryDecodeResult::kInvalid);
}

}  // namespace
