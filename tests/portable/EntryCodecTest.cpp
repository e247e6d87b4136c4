#include "EntryCodec.h"

#include <gtest/gtest.h>
#include <lzo/lzo1x.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

using FileSystem::DecodeEntry;
using FileSystem::EncodeEntry;
using FileSystem::LzmaBlockCompress;
using FileSystem::LzmaBlockDecompress;
using FileSystem::LzmaBlockUncompressedSize;
using FileSystem::kMethodLzma;
using FileSystem::kMethodLzo;
using FileSystem::kMethodStored;

namespace {

using Bytes = std::vector<uint8_t>;

// Deterministic noise: xorshift32.
Bytes RandomBytes(size_t n, uint32_t seed) {
  Bytes b(n);
  uint32_t x = seed ? seed : 1;
  for (auto& c : b) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<uint8_t>(x);
  }
  return b;
}

Bytes Text(size_t n) {
  static const char kLine[] = "The quick brown fox jumps over the lazy dog; 0123456789.\n";
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(kLine[i % (sizeof kLine - 1)]);
  return b;
}

// Compressible but not trivially: words picked by noise.
Bytes Words(size_t n) {
  static const char* const kWords[] = {"alpha ", "beta ", "gamma ", "delta ", "package ", "entry "};
  Bytes noise = RandomBytes(n, 77);
  Bytes b;
  for (size_t i = 0; b.size() < n; ++i) {
    const char* w = kWords[noise[i] % 6];
    b.insert(b.end(), w, w + std::strlen(w));
  }
  b.resize(n);
  return b;
}

Bytes LzmaBlock(const Bytes& content) {
  uint32_t room = static_cast<uint32_t>(content.size() * 2 + 1024);
  Bytes block(room);
  EXPECT_EQ(0, LzmaBlockCompress(block.data(), &room, content.data(),
                                 static_cast<uint32_t>(content.size())));
  block.resize(room);
  return block;
}

Bytes LzoStream(const Bytes& content) {
  EXPECT_EQ(LZO_E_OK, lzo_init());
  Bytes out(content.size() + content.size() / 16 + 67);
  Bytes work(LZO1X_1_MEM_COMPRESS);
  lzo_uint outLen = out.size();
  EXPECT_EQ(LZO_E_OK, lzo1x_1_compress(content.data(), content.size(), out.data(), &outLen,
                                       work.data()));
  out.resize(outLen);
  return out;
}

// A decode buffer of exactly `size` bytes followed by a canary that must
// survive every decoding attempt.
class GuardedBuffer {
 public:
  explicit GuardedBuffer(uint32_t size) : size_(size), bytes_(size + kGuard, kCanary) {}
  uint8_t* data() { return bytes_.data(); }
  uint32_t size() const { return size_; }
  Bytes Content() const { return Bytes(bytes_.begin(), bytes_.begin() + size_); }
  bool GuardIntact() const {
    for (size_t i = size_; i < bytes_.size(); ++i)
      if (bytes_[i] != kCanary) return false;
    return true;
  }

 private:
  static constexpr size_t kGuard = 64;
  static constexpr uint8_t kCanary = 0xA5;
  uint32_t size_;
  Bytes bytes_;
};

// ---------------------------------------------------------------------------
// Encoding and decoding round trips

struct RoundTripCase {
  const char* label;
  Bytes content;
  int wanted;
  int expectedMethod;
};

std::vector<RoundTripCase> RoundTripCases() {
  std::vector<RoundTripCase> cases;
  for (int m : {kMethodLzo, kMethodLzma}) {
    const std::string tag = m == kMethodLzo ? "Lzo" : "Lzma";
    cases.push_back({"Text", Text(5000), m, m});
    cases.push_back({"Zeros", Bytes(4096, 0), m, m});
    cases.push_back({"Words64KiBPlus", Words(70000), m, m});
    cases.push_back({"Zeros1MiB", Bytes(1 << 20, 0), m, m});
    // Too short to gain anything: stored as is.
    cases.push_back({"OneByte", Bytes(1, 'x'), m, kMethodStored});
    cases.push_back({"Random", RandomBytes(10000, 5), m, kMethodStored});
    cases.push_back({"Empty", Bytes(), m, kMethodStored});
  }
  cases.push_back({"StoredWanted", Text(5000), kMethodStored, kMethodStored});
  cases.push_back({"UnknownMethodStores", Text(5000), 3, kMethodStored});
  cases.push_back({"NegativeMethodStores", Text(5000), -1, kMethodStored});
  return cases;
}

void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.label; }

class EntryRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(EntryRoundTrip, EncodesToExpectedMethodAndDecodesBack) {
  const RoundTripCase& c = GetParam();
  Bytes stored{1, 2, 3};  // replaced, never appended to
  const uint32_t size = static_cast<uint32_t>(c.content.size());
  const int method = EncodeEntry(c.wanted, c.content.data(), size, &stored);
  ASSERT_EQ(c.expectedMethod, method);
  if (method == kMethodStored) {
    EXPECT_EQ(c.content, stored);
    return;
  }
  EXPECT_LT(stored.size(), c.content.size());
  GuardedBuffer out(size);
  ASSERT_TRUE(DecodeEntry(method, stored.data(), static_cast<uint32_t>(stored.size()), out.data(),
                          size));
  EXPECT_EQ(c.content, out.Content());
  EXPECT_TRUE(out.GuardIntact());
}

INSTANTIATE_TEST_SUITE_P(Cases, EntryRoundTrip, ::testing::ValuesIn(RoundTripCases()),
                         [](const ::testing::TestParamInfo<RoundTripCase>& info) {
                           const char* m = info.param.wanted == kMethodLzo    ? "Lzo"
                                           : info.param.wanted == kMethodLzma ? "Lzma"
                                                                              : "Other";
                           return std::string(m) + "_" + info.param.label;
                         });

TEST(EntryCodec, EncodeRefusesNullOutputOrNullContent) {
  const Bytes text = Text(100);
  EXPECT_EQ(-1, EncodeEntry(kMethodLzma, text.data(), 100, nullptr));
  Bytes out{9};
  EXPECT_EQ(-1, EncodeEntry(kMethodLzma, nullptr, 100, &out));
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(kMethodStored, EncodeEntry(kMethodLzma, nullptr, 0, &out));
  EXPECT_TRUE(out.empty());
}

// The stored bytes are exactly the libraries' output at the chosen settings,
// so entries written here match those the publisher writes.
TEST(EntryCodec, LzoEntriesAreLzo1x999AtLevel8) {
  const Bytes content = Words(20000);
  ASSERT_EQ(LZO_E_OK, lzo_init());
  Bytes expected(content.size() + content.size() / 16 + 67);
  Bytes work(LZO1X_999_MEM_COMPRESS);
  lzo_uint len = expected.size();
  ASSERT_EQ(LZO_E_OK, lzo1x_999_compress_level(content.data(), content.size(), expected.data(),
                                                &len, work.data(), nullptr, 0, nullptr, 8));
  expected.resize(len);
  Bytes stored;
  ASSERT_EQ(kMethodLzo, EncodeEntry(kMethodLzo, content.data(), 20000, &stored));
  EXPECT_EQ(expected, stored);
}

TEST(EntryCodec, LzmaEntriesAreLzmaBlocks) {
  const Bytes content = Words(20000);
  Bytes stored;
  ASSERT_EQ(kMethodLzma, EncodeEntry(kMethodLzma, content.data(), 20000, &stored));
  EXPECT_EQ(LzmaBlock(content), stored);
}

// Direct block round trips, including sizes the entry encoder would store
// as is.
class LzmaBlockRoundTrip : public ::testing::TestWithParam<size_t> {};

TEST_P(LzmaBlockRoundTrip, DecodesWhatItEncodes) {
  const Bytes content = Words(GetParam());
  const Bytes block = LzmaBlock(content);
  GuardedBuffer out(static_cast<uint32_t>(content.size()));
  uint32_t outLen = out.size();
  uint32_t inLen = static_cast<uint32_t>(block.size());
  ASSERT_EQ(0, LzmaBlockDecompress(out.data(), &outLen, block.data(), &inLen));
  EXPECT_EQ(content.size(), outLen);
  EXPECT_EQ(block.size(), inLen);
  EXPECT_EQ(content, out.Content());
  EXPECT_TRUE(out.GuardIntact());
}

INSTANTIATE_TEST_SUITE_P(Sizes, LzmaBlockRoundTrip, ::testing::Values(1, 2, 13, 1000, 65537));

// ---------------------------------------------------------------------------
// The LZMA block format

TEST(LzmaBlock, StartsWithDefaultPropertiesAndSize) {
  const Bytes content = Text(0x12345);
  const Bytes block = LzmaBlock(content);
  ASSERT_GT(block.size(), 13u);
  const Bytes header(block.begin(), block.begin() + 13);
  const Bytes expected{0x5D, 0x00, 0x00, 0x00, 0x01, 0x45, 0x23, 0x01, 0, 0, 0, 0, 0};
  EXPECT_EQ(expected, header);
  EXPECT_EQ(0x12345u, LzmaBlockUncompressedSize(block.data(), static_cast<uint32_t>(block.size())));
}

TEST(LzmaBlock, UncompressedSizeNeedsAWholeHeader) {
  const Bytes block = LzmaBlock(Text(500));
  EXPECT_EQ(0u, LzmaBlockUncompressedSize(nullptr, 100));
  EXPECT_EQ(0u, LzmaBlockUncompressedSize(block.data(), 12));
  EXPECT_EQ(500u, LzmaBlockUncompressedSize(block.data(), 13));
}

TEST(LzmaBlock, CompressWithRoomOfHeaderOrLessGivesOutputEof) {
  const Bytes content = Text(100);
  for (uint32_t room : {0u, 1u, 5u, 13u}) {
    Bytes dest(64, 0xEE);
    uint32_t destLen = room;
    EXPECT_EQ(7, LzmaBlockCompress(dest.data(), &destLen, content.data(), 100)) << room;
    EXPECT_EQ(Bytes(64, 0xEE), dest) << room;
  }
}

TEST(LzmaBlock, CompressIntoTooSmallRoomFails) {
  const Bytes content = RandomBytes(5000, 9);
  Bytes dest(100);
  uint32_t destLen = 100;
  EXPECT_NE(0, LzmaBlockCompress(dest.data(), &destLen, content.data(), 5000));
  EXPECT_EQ(0u, destLen);
}

TEST(LzmaBlock, NullArgumentsGiveFail) {
  const Bytes content = Text(100);
  Bytes dest(1000);
  uint32_t destLen = 1000;
  EXPECT_EQ(11, LzmaBlockCompress(nullptr, &destLen, content.data(), 100));
  EXPECT_EQ(11, LzmaBlockCompress(dest.data(), &destLen, nullptr, 100));
  EXPECT_EQ(11, LzmaBlockCompress(dest.data(), nullptr, content.data(), 100));

  const Bytes block = LzmaBlock(content);
  uint32_t inLen = static_cast<uint32_t>(block.size());
  EXPECT_EQ(11, LzmaBlockDecompress(nullptr, &destLen, block.data(), &inLen));
  EXPECT_EQ(11, LzmaBlockDecompress(dest.data(), &destLen, nullptr, &inLen));
  EXPECT_EQ(11, LzmaBlockDecompress(dest.data(), nullptr, block.data(), &inLen));
  EXPECT_EQ(11, LzmaBlockDecompress(dest.data(), &destLen, block.data(), nullptr));
}

struct DeclaredSizeCase {
  const char* label;
  uint64_t declared;
  uint32_t room;
  uint32_t reportedLen;
};

void PrintTo(const DeclaredSizeCase& c, std::ostream* os) { *os << c.label; }

class LzmaDeclaredSize : public ::testing::TestWithParam<DeclaredSizeCase> {};

TEST_P(LzmaDeclaredSize, RefusedWithDeclaredSizeReported) {
  const DeclaredSizeCase& c = GetParam();
  Bytes block = LzmaBlock(Text(1000));
  for (int i = 0; i < 8; ++i) block[5 + i] = static_cast<uint8_t>(c.declared >> (8 * i));
  GuardedBuffer out(c.room);
  uint32_t outLen = c.room;
  uint32_t inLen = static_cast<uint32_t>(block.size());
  EXPECT_EQ(11, LzmaBlockDecompress(out.data(), &outLen, block.data(), &inLen));
  EXPECT_EQ(c.reportedLen, outLen);
  EXPECT_TRUE(out.GuardIntact());
  EXPECT_FALSE(DecodeEntry(kMethodLzma, block.data(), static_cast<uint32_t>(block.size()),
                           out.data(), c.room));
  EXPECT_TRUE(out.GuardIntact());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LzmaDeclaredSize,
    ::testing::Values(DeclaredSizeCase{"Zero", 0, 1000, 0},
                      DeclaredSizeCase{"OneMoreThanRoom", 1000, 999, 1000},
                      DeclaredSizeCase{"FarMoreThanRoom", 0x7FFFFFFF, 1000, 0x7FFFFFFF},
                      DeclaredSizeCase{"HighHalfSet", 0x100000000ull + 10, 1000, 0xFFFFFFFFu}),
    [](const ::testing::TestParamInfo<DeclaredSizeCase>& info) { return info.param.label; });

TEST(LzmaBlock, RoomLargerThanDeclaredSizeDecodesTheDeclaredSize) {
  // A caller with room for a terminating 0 after the content.
  const Bytes content = Text(3000);
  const Bytes block = LzmaBlock(content);
  GuardedBuffer out(3001);
  uint32_t outLen = 3001;
  uint32_t inLen = static_cast<uint32_t>(block.size());
  ASSERT_EQ(0, LzmaBlockDecompress(out.data(), &outLen, block.data(), &inLen));
  EXPECT_EQ(3000u, outLen);
  EXPECT_EQ(content, Bytes(out.data(), out.data() + 3000));
  // An entry whose size disagrees with the block still fails.
  EXPECT_FALSE(DecodeEntry(kMethodLzma, block.data(), static_cast<uint32_t>(block.size()),
                           out.data(), 3001));
  EXPECT_TRUE(out.GuardIntact());
}

TEST(LzmaBlock, InputShorterThanHeaderGivesInputEof) {
  const Bytes block = LzmaBlock(Text(100));
  Bytes dest(100);
  for (uint32_t len : {0u, 5u, 12u}) {
    uint32_t outLen = 100;
    uint32_t inLen = len;
    EXPECT_EQ(6, LzmaBlockDecompress(dest.data(), &outLen, block.data(), &inLen)) << len;
    EXPECT_EQ(0u, outLen);
    EXPECT_FALSE(DecodeEntry(kMethodLzma, block.data(), len, dest.data(), 100));
  }
}

class LzmaCutStream : public ::testing::TestWithParam<size_t> {};

TEST_P(LzmaCutStream, FailsToDecode) {
  const Bytes content = Words(20000);
  Bytes block = LzmaBlock(content);
  const size_t cut = GetParam();
  ASSERT_LT(cut, block.size() - 13);
  block.resize(block.size() - cut);
  GuardedBuffer out(20000);
  uint32_t outLen = 20000;
  uint32_t inLen = static_cast<uint32_t>(block.size());
  EXPECT_NE(0, LzmaBlockDecompress(out.data(), &outLen, block.data(), &inLen));
  EXPECT_FALSE(DecodeEntry(kMethodLzma, block.data(), static_cast<uint32_t>(block.size()),
                           out.data(), 20000));
  EXPECT_TRUE(out.GuardIntact());
}

INSTANTIATE_TEST_SUITE_P(Cuts, LzmaCutStream, ::testing::Values(1, 5, 100, 1000));

// ---------------------------------------------------------------------------
// LZO1X decoding

TEST(LzoDecode, DecodesStreamOfExactSize) {
  const Bytes content = Words(30000);
  const Bytes stream = LzoStream(content);
  GuardedBuffer out(30000);
  ASSERT_TRUE(DecodeEntry(kMethodLzo, stream.data(), static_cast<uint32_t>(stream.size()),
                          out.data(), 30000));
  EXPECT_EQ(content, out.Content());
}

struct LzoLengthCase {
  const char* label;
  size_t actual;
  uint32_t size;
};

void PrintTo(const LzoLengthCase& c, std::ostream* os) { *os << c.label; }

class LzoLengthMismatch : public ::testing::TestWithParam<LzoLengthCase> {};

TEST_P(LzoLengthMismatch, FailsWithoutWritingPastTheBuffer) {
  const LzoLengthCase& c = GetParam();
  const Bytes stream = LzoStream(Words(c.actual));
  GuardedBuffer out(c.size);
  EXPECT_FALSE(DecodeEntry(kMethodLzo, stream.data(), static_cast<uint32_t>(stream.size()),
                           out.data(), c.size));
  EXPECT_TRUE(out.GuardIntact());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LzoLengthMismatch,
    ::testing::Values(LzoLengthCase{"StreamShorterByOne", 1000, 1001},
                      LzoLengthCase{"StreamMuchShorter", 1000, 50000},
                      LzoLengthCase{"StreamLongerByOne", 1000, 999},
                      LzoLengthCase{"StreamMuchLonger", 50000, 100},
                      LzoLengthCase{"RoomZero", 1000, 0}),
    [](const ::testing::TestParamInfo<LzoLengthCase>& info) { return info.param.label; });

TEST(LzoDecode, CutStreamFails) {
  const Bytes content = Words(20000);
  Bytes stream = LzoStream(content);
  for (size_t cut : {1u, 3u, 100u}) {
    Bytes cutStream(stream.begin(), stream.end() - cut);
    GuardedBuffer out(20000);
    EXPECT_FALSE(DecodeEntry(kMethodLzo, cutStream.data(), static_cast<uint32_t>(cutStream.size()),
                             out.data(), 20000))
        << cut;
    EXPECT_TRUE(out.GuardIntact());
  }
}

TEST(LzoDecode, TrailingBytesAfterTheStreamFail) {
  const Bytes content = Words(2000);
  Bytes stream = LzoStream(content);
  stream.push_back(0);
  GuardedBuffer out(2000);
  EXPECT_FALSE(DecodeEntry(kMethodLzo, stream.data(), static_cast<uint32_t>(stream.size()),
                           out.data(), 2000));
  EXPECT_TRUE(out.GuardIntact());
}

// ---------------------------------------------------------------------------
// Other methods and garbage

TEST(EntryDecode, StoredAndUnknownMethodsAreNotDecoded) {
  const Bytes content = Text(100);
  Bytes out(100);
  for (int method : {0, 3, 15, -1, 0x22})
    EXPECT_FALSE(DecodeEntry(method, content.data(), 100, out.data(), 100)) << method;
}

TEST(EntryDecode, NullBuffersAreRefused) {
  const Bytes stream = LzoStream(Text(100));
  Bytes out(100);
  for (int method : {kMethodLzo, kMethodLzma}) {
    EXPECT_FALSE(DecodeEntry(method, nullptr, 100, out.data(), 100));
    EXPECT_FALSE(DecodeEntry(method, stream.data(), static_cast<uint32_t>(stream.size()), nullptr,
                             100));
  }
}

TEST(EntryDecode, GarbageFailsCleanly) {
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    const size_t len = (seed * 37) % 600;
    Bytes garbage = RandomBytes(len, seed);
    // Half of the LZMA attempts get a plausible header so the stream itself
    // is fed to the decoder.
    if (seed % 2 == 0 && len >= 13) {
      const uint8_t header[13] = {0x5D, 0, 0, 0, 1, 0x00, 0x04, 0, 0, 0, 0, 0, 0};
      std::memcpy(garbage.data(), header, sizeof header);
    }
    for (int method : {kMethodLzo, kMethodLzma}) {
      GuardedBuffer out(1024);
      DecodeEntry(method, garbage.data(), static_cast<uint32_t>(garbage.size()), out.data(), 1024);
      EXPECT_TRUE(out.GuardIntact()) << "seed " << seed << " method " << method;
    }
  }
}

TEST(EntryDecode, LzmaBlockWithInvalidPropertiesFails) {
  Bytes block = LzmaBlock(Text(1000));
  block[0] = 9 * 5 * 5;  // pb 5 is beyond the format
  GuardedBuffer out(1000);
  uint32_t outLen = 1000;
  uint32_t inLen = static_cast<uint32_t>(block.size());
  EXPECT_NE(0, LzmaBlockDecompress(out.data(), &outLen, block.data(), &inLen));
  EXPECT_FALSE(DecodeEntry(kMethodLzma, block.data(), static_cast<uint32_t>(block.size()),
                           out.data(), 1000));
  EXPECT_TRUE(out.GuardIntact());
}

TEST(LzmaBlock, EmptyContentMakesABlockThatDoesNotDecode) {
  Bytes block(64);
  uint32_t room = 64;
  const uint8_t none = 0;
  ASSERT_EQ(0, LzmaBlockCompress(block.data(), &room, &none, 0));
  EXPECT_EQ(0u, LzmaBlockUncompressedSize(block.data(), room));
  Bytes out(16);
  uint32_t outLen = 16;
  uint32_t inLen = room;
  EXPECT_EQ(11, LzmaBlockDecompress(out.data(), &outLen, block.data(), &inLen));
  EXPECT_EQ(0u, outLen);
}

#ifndef _WIN32
// Debian's 7zip reads .lzma files, whose header is the block's: a block of
// ours must come out of it unchanged.
class SevenZipPeer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v 7zz >/dev/null 2>&1") != 0) GTEST_SKIP() << "7zz not installed";
    char pattern[] = "/tmp/entrycodec.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    dir_ = pattern;
  }
  void TearDown() override {
    if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
  }
  static void Write(const std::string& path, const Bytes& b) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    ASSERT_EQ(b.size(), std::fwrite(b.data(), 1, b.size(), f));
    std::fclose(f);
  }
  static Bytes Read(const std::string& path) {
    Bytes b;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return b;
    uint8_t chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) b.insert(b.end(), chunk, chunk + n);
    std::fclose(f);
    return b;
  }
  std::string dir_;
};

TEST_F(SevenZipPeer, ExtractsOurBlocks) {
  const Bytes content = Words(200000);
  Write(dir_ + "/entry.lzma", LzmaBlock(content));
  const std::string cmd = "cd '" + dir_ + "' && 7zz e -so entry.lzma > entry.out 2>/dev/null";
  ASSERT_EQ(0, std::system(cmd.c_str()));
  EXPECT_EQ(content, Read(dir_ + "/entry.out"));
}
#endif

}  // namespace
