#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AjpgDecoder.h"
#include "JpegTestEncoder.h"

namespace {

constexpr uint8_t kSentinel = 0xA5;

struct Pixel {
  int blue, green, red, alpha;
};

Pixel At(const std::vector<uint8_t>& buffer, size_t stride, int x, int row) {
  const uint8_t* p = buffer.data() + size_t(row) * stride + size_t(x) * 4;
  return Pixel{p[0], p[1], p[2], p[3]};
}

bool Decode(const std::string& container, std::vector<uint8_t>* buffer, size_t stride) {
  return DecodeAjpg(container.data(), container.size(), buffer->data(), buffer->size(), stride);
}

bool Near(int value, int expected) { return std::abs(value - expected) <= 3; }

// A read-only copy of the bytes that ends where an inaccessible page begins,
// so any read past the container faults.
class GuardedBytes {
 public:
  explicit GuardedBytes(const std::string& bytes) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    page_ = info.dwPageSize;
    const size_t span = (bytes.size() + page_ - 1) / page_ * page_;
    base_ = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, span + page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    VirtualProtect(base_ + span, page_, PAGE_NOACCESS, &old);
    data_ = base_ + span - bytes.size();
    std::memcpy(data_, bytes.data(), bytes.size());
    size_ = bytes.size();
  }
  ~GuardedBytes() { VirtualFree(base_, 0, MEM_RELEASE); }
  const uint8_t* Data() const { return data_; }
  size_t Size() const { return size_; }

 private:
  size_t page_ = 0;
  uint8_t* base_ = nullptr;
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

struct FlagCase {
  uint32_t flags;
  bool alphaPlane;   // an alpha plane (value 77) is stored
  bool colourPlane;  // a colour plane (200, 100, 50) is stored
  int alpha;         // expected alpha
  int red, green, blue;
};

// Planes are stored as the flags demand; constants fill the rest.
const FlagCase kFlagCases[] = {
    {0x00, false, false, 255, 0, 0, 0},
    {0x01, true, false, 77, 0, 0, 0},
    {0x05, false, false, 0, 0, 0, 0},
    {0x04, false, false, 255, 0, 0, 0},
    {0x10, false, false, 255, 0, 0, 0},
    {0x11, false, false, 255, 0, 0, 0},
    {0x15, false, false, 0, 0, 0, 0},
    {0x02, false, true, 255, 200, 100, 50},
    {0x0A, false, false, 255, 0, 0, 0},
    {0x22, false, false, 255, 255, 255, 255},
    {0x2A, false, false, 255, 255, 255, 255},
    {0x08, false, false, 255, 0, 0, 0},
    {0x20, false, false, 255, 0, 0, 0},
    {0x03, true, true, 77, 200, 100, 50},
    {0x13, false, true, 255, 200, 100, 50},
    {0x23, true, false, 77, 255, 255, 255},
    {0x07, false, true, 0, 200, 100, 50},
};

class AjpgFlagTest : public ::testing::TestWithParam<FlagCase> {};

TEST_P(AjpgFlagTest, StoredPlanesAndConstantsFollowTheFlags) {
  const FlagCase& c = GetParam();
  const int width = 5, height = 3;
  std::vector<std::string> planes;
  if (c.alphaPlane) planes.push_back(TestJpeg::Grey(width, height, 77));
  if (c.colourPlane) planes.push_back(TestJpeg::Colour(width, height, 200, 100, 50));
  const std::string container = TestJpeg::Container(width, height, c.flags, planes);
  std::vector<uint8_t> buffer(width * height * 4, kSentinel);
  ASSERT_TRUE(Decode(container, &buffer, width * 4));
  for (int row = 0; row < height; ++row) {
    for (int x = 0; x < width; ++x) {
      const Pixel p = At(buffer, width * 4, x, row);
      EXPECT_TRUE(Near(p.alpha, c.alpha)) << p.alpha;
      EXPECT_TRUE(Near(p.red, c.red)) << p.red;
      EXPECT_TRUE(Near(p.green, c.green)) << p.green;
      EXPECT_TRUE(Near(p.blue, c.blue)) << p.blue;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Flags, AjpgFlagTest, ::testing::ValuesIn(kFlagCases));

TEST(AjpgInfo, ReportsTheHeaderAndAcceptsNullOutputs) {
  const std::string container = TestJpeg::Container(1069, 612, 0x13, {});
  uint32_t width = 0, height = 0, flags = 0;
  bool hasAlpha = false, hasColour = false;
  ASSERT_TRUE(GetAjpgInfo(container.data(), container.size(), &width, &height, &hasAlpha,
                          &hasColour, &flags));
  EXPECT_EQ(1069u, width);
  EXPECT_EQ(612u, height);
  EXPECT_EQ(0x13u, flags);
  EXPECT_TRUE(hasAlpha);
  EXPECT_TRUE(hasColour);
  EXPECT_TRUE(GetAjpgInfo(container.data(), container.size(), nullptr, nullptr, nullptr, nullptr,
                          nullptr));
}

TEST(AjpgInfo, RejectsShortNullOrForeignDataLeavingOutputsAlone) {
  std::string container = TestJpeg::Container(4, 4, 0, {});
  uint32_t width = 99;
  EXPECT_FALSE(GetAjpgInfo(container.data(), 11, &width, nullptr, nullptr, nullptr, nullptr));
  EXPECT_FALSE(GetAjpgInfo(nullptr, 12, &width, nullptr, nullptr, nullptr, nullptr));
  container[3] = 'X';
  EXPECT_FALSE(GetAjpgInfo(container.data(), container.size(), &width, nullptr, nullptr, nullptr,
                           nullptr));
  EXPECT_EQ(99u, width);
}

TEST(AjpgDecode, ZeroWidthOrHeightSucceedsWithoutTouchingTheBuffer) {
  const uint32_t sizes[][2] = {{0, 4}, {4, 0}, {0, 0}};
  for (const auto& size : sizes) {
    // Flags that would need planes, and no planes at all: nothing is read.
    const std::string container = TestJpeg::Container(size[0], size[1], 0x03, {});
    std::vector<uint8_t> buffer(16, kSentinel);
    EXPECT_TRUE(Decode(container, &buffer, 0));
    EXPECT_EQ(std::vector<uint8_t>(16, kSentinel), buffer);
  }
}

TEST(AjpgDecode, FailsOnNullOrEmptyBuffer) {
  const std::string container = TestJpeg::Container(2, 2, 0, {});
  std::vector<uint8_t> buffer(16);
  EXPECT_FALSE(DecodeAjpg(container.data(), container.size(), nullptr, 16, 8));
  EXPECT_FALSE(DecodeAjpg(container.data(), container.size(), buffer.data(), 0, 8));
  EXPECT_FALSE(DecodeAjpg(nullptr, container.size(), buffer.data(), 16, 8));
  EXPECT_FALSE(DecodeAjpg(container.data(), 11, buffer.data(), 16, 8));
}

TEST(AjpgDecode, BufferOneByteShortFailsBeforeWritingAnything) {
  const std::string container = TestJpeg::Container(4, 3, 0x00, {});
  std::vector<uint8_t> buffer(4 * 3 * 4 - 1, kSentinel);
  EXPECT_FALSE(Decode(container, &buffer, 16));
  EXPECT_EQ(std::vector<uint8_t>(buffer.size(), kSentinel), buffer);
}

TEST(AjpgDecode, StrideBelowTheRowOrTooLongForTheBufferFails) {
  const std::string container = TestJpeg::Container(4, 3, 0x00, {});
  std::vector<uint8_t> buffer(64, kSentinel);
  EXPECT_FALSE(Decode(container, &buffer, 15));
  EXPECT_FALSE(Decode(container, &buffer, 22));  // 22 * 3 > 64
  EXPECT_EQ(std::vector<uint8_t>(buffer.size(), kSentinel), buffer);
  EXPECT_TRUE(Decode(container, &buffer, 21));
}

// width * height * 4 and stride * height of this picture are 2^32 + 131072:
// taken in 32 bits they would both shrink to 131072 and pass for a buffer
// of that size.
TEST(AjpgDecode, SizesThatOverflowThirtyTwoBitsFail) {
  const std::string container = TestJpeg::Container(32768, 32769, 0x00, {});
  std::vector<uint8_t> buffer(131072, kSentinel);
  EXPECT_FALSE(Decode(container, &buffer, 131072));
  EXPECT_EQ(std::vector<uint8_t>(buffer.size(), kSentinel), buffer);
  EXPECT_FALSE(Decode(container, &buffer, SIZE_MAX / 2));
}

TEST(AjpgDecode, StrideWiderThanTheRowLeavesThePaddingAlone) {
  const int width = 3, height = 2, stride = 20;
  const std::string container =
      TestJpeg::Container(width, height, 0x02, {TestJpeg::Colour(width, height, 10, 20, 30)});
  std::vector<uint8_t> buffer(stride * height, kSentinel);
  ASSERT_TRUE(Decode(container, &buffer, stride));
  for (int row = 0; row < height; ++row) {
    for (int i = width * 4; i < stride; ++i) EXPECT_EQ(kSentinel, buffer[row * stride + i]);
    EXPECT_TRUE(Near(At(buffer, stride, 0, row).green, 20));
  }
}

TEST(AjpgDecode, PlaneRowRGoesToMemoryRowR) {
  const int width = 2, height = 16;
  const std::string container =
      TestJpeg::Container(width, height, 0x01, {TestJpeg::GreyRamp(width, height)});
  std::vector<uint8_t> buffer(width * height * 4, kSentinel);
  ASSERT_TRUE(Decode(container, &buffer, width * 4));
  EXPECT_TRUE(Near(At(buffer, width * 4, 0, 0).alpha, 0));
  EXPECT_TRUE(Near(At(buffer, width * 4, 1, height - 1).alpha, 255));
}

TEST(AjpgDecode, PlaneLengthEqualToTheBytesLeftIsAcceptedOneMoreFails) {
  const std::string plane = TestJpeg::Grey(4, 4, 9);
  const uint32_t length = static_cast<uint32_t>(plane.size());
  std::vector<uint8_t> buffer(64);
  const std::string exact = TestJpeg::ContainerWithLength(4, 4, 0x01, plane, length);
  const GuardedBytes guardedExact(exact);
  EXPECT_TRUE(DecodeAjpg(guardedExact.Data(), guardedExact.Size(), buffer.data(), 64, 16));
  const std::string over = TestJpeg::ContainerWithLength(4, 4, 0x01, plane, length + 1);
  const GuardedBytes guardedOver(over);
  EXPECT_FALSE(DecodeAjpg(guardedOver.Data(), guardedOver.Size(), buffer.data(), 64, 16));
}

TEST(AjpgDecode, RecordsTooShortForALengthAndAByteFail) {
  std::vector<uint8_t> buffer(64);
  const std::string header = TestJpeg::Container(4, 4, 0x01, {});
  for (size_t extra = 0; extra <= 4; ++extra) {
    const std::string container = header + std::string(extra, '\0');
    EXPECT_FALSE(DecodeAjpg(container.data(), container.size(), buffer.data(), 64, 16)) << extra;
  }
}

TEST(AjpgDecode, TruncatedPlaneFailsWithoutReadingPastIt) {
  const std::string plane = TestJpeg::Colour(64, 64, 1, 2, 3);
  for (size_t keep : {plane.size() - 2, plane.size() / 2, size_t(20), size_t(3)}) {
    const std::string container = TestJpeg::Container(64, 64, 0x02, {plane.substr(0, keep)});
    const GuardedBytes guarded(container);
    std::vector<uint8_t> buffer(64 * 64 * 4);
    EXPECT_FALSE(DecodeAjpg(guarded.Data(), guarded.Size(), buffer.data(), buffer.size(), 256))
        << keep;
  }
}

TEST(AjpgDecode, LibraryErrorsReturnFailure) {
  std::vector<uint8_t> buffer(16 * 16 * 4);
  // A frame header with a sample precision the library does not handle.
  std::string damaged = TestJpeg::Grey(16, 16, 5);
  const size_t frame = damaged.find("\xFF\xC0");
  ASSERT_NE(std::string::npos, frame);
  damaged[frame + 4] = 9;
  const std::vector<std::string> planes[] = {
      {std::string("not a jpeg at all")}, {damaged}, {std::string("\xFF\xD8\xFF\xD9", 4)}};
  for (const auto& plane : planes) {
    const std::string container = TestJpeg::Container(16, 16, 0x01, plane);
    EXPECT_FALSE(Decode(container, &buffer, 64));
  }
}

TEST(AjpgDecode, ComponentCountMustMatchThePlane) {
  std::vector<uint8_t> buffer(8 * 8 * 4);
  const std::string colourAsAlpha =
      TestJpeg::Container(8, 8, 0x01, {TestJpeg::Colour(8, 8, 1, 2, 3)});
  EXPECT_FALSE(Decode(colourAsAlpha, &buffer, 32));
  const std::string greyAsColour = TestJpeg::Container(8, 8, 0x02, {TestJpeg::Grey(8, 8, 1)});
  EXPECT_FALSE(Decode(greyAsColour, &buffer, 32));
}

TEST(AjpgDecode, EachDimensionIsComparedOnItsOwn) {
  // One pixel off in either direction, and planes with the header's pixel
  // count (24) in another shape.
  const int sizes[][2] = {{5, 6}, {4, 7}, {3, 6}, {4, 5}, {6, 4}, {8, 3}};
  std::vector<uint8_t> buffer(64 * 4);
  for (const auto& size : sizes) {
    const std::string container =
        TestJpeg::Container(4, 6, 0x02, {TestJpeg::Colour(size[0], size[1], 1, 2, 3)});
    EXPECT_FALSE(Decode(container, &buffer, 16)) << size[0] << "x" << size[1];
  }
}

TEST(AjpgDecode, BytesAfterTheLastRecordAreIgnored) {
  const std::string container =
      TestJpeg::Container(4, 4, 0x02, {TestJpeg::Colour(4, 4, 9, 9, 9)}) + "trailing bytes";
  std::vector<uint8_t> buffer(64);
  EXPECT_TRUE(Decode(container, &buffer, 16));
}

}  // namespace
