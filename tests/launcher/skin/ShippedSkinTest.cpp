#include <windows.h>

#include <cstdlib>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "AjpgBitmap.h"
#include "AjpgDecoder.h"
#include "SkinPictures.h"

namespace {

struct ResourceBytes {
  const void* data = nullptr;
  DWORD size = 0;
};

ResourceBytes Find(int id) {
  ResourceBytes bytes;
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), L"AJPEG");
  if (resource == nullptr) return bytes;
  bytes.size = SizeofResource(module, resource);
  bytes.data = LockResource(LoadResource(module, resource));
  return bytes;
}

BOOL CALLBACK CollectId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR ids) {
  if (IS_INTRESOURCE(name)) {
    reinterpret_cast<std::set<int>*>(ids)->insert(static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
  }
  return TRUE;
}

struct Bitmap {
  explicit Bitmap(HBITMAP handle) : handle(handle) {}
  ~Bitmap() {
    if (handle != nullptr) DeleteObject(handle);
  }
  HBITMAP handle;
};

class ShippedSkinTest : public ::testing::TestWithParam<SkinPictures::ShippedPicture> {};

TEST_P(ShippedSkinTest, DecodesToItsListedSize) {
  const SkinPictures::ShippedPicture& picture = GetParam();
  const ResourceBytes bytes = Find(picture.id);
  ASSERT_NE(nullptr, bytes.data);
  uint32_t width = 0, height = 0, flags = 0;
  ASSERT_TRUE(GetAjpgInfo(bytes.data, bytes.size, &width, &height, nullptr, nullptr, &flags));
  EXPECT_EQ(uint32_t(picture.width), width);
  EXPECT_EQ(uint32_t(picture.height), height);
  EXPECT_TRUE(flags == 0x03 || flags == 0x02 || flags == 0x13) << flags;
  std::vector<uint8_t> pixels(size_t(width) * height * 4);
  EXPECT_TRUE(DecodeAjpg(bytes.data, bytes.size, pixels.data(), pixels.size(), width * 4));

  Bitmap bitmap(LoadAjpgBitmapById(GetModuleHandleW(nullptr), picture.id, nullptr));
  ASSERT_NE(nullptr, bitmap.handle);
  DIBSECTION section = {};
  ASSERT_EQ(int(sizeof(section)), GetObjectW(bitmap.handle, sizeof(section), &section));
  EXPECT_EQ(picture.width, section.dsBm.bmWidth);
  EXPECT_EQ(picture.height, section.dsBm.bmHeight);
  EXPECT_EQ(32, section.dsBm.bmBitsPixel);
  EXPECT_GT(section.dsBmih.biHeight, 0);  // bottom-up
}

INSTANTIATE_TEST_SUITE_P(Skins, ShippedSkinTest, ::testing::ValuesIn(SkinPictures::kShipped));

TEST(ShippedSkins, TheModuleHoldsExactlyTheListedPictures) {
  std::set<int> ids;
  EnumResourceNamesW(GetModuleHandleW(nullptr), L"AJPEG", CollectId,
                     reinterpret_cast<LONG_PTR>(&ids));
  std::set<int> listed;
  for (const auto& picture : SkinPictures::kShipped) listed.insert(picture.id);
  EXPECT_EQ(listed, ids);
}

// The title band lies at the top of the picture, so in the bottom-up rows
// it is near the last memory row; the corners are outside the window shape.
TEST(ShippedSkins, MainBackgroundHasItsBandOnTopAndTransparentCorners) {
  Bitmap bitmap(LoadAjpgBitmapById(GetModuleHandleW(nullptr), SkinPictures::kMainBackground,
                                   nullptr));
  ASSERT_NE(nullptr, bitmap.handle);
  DIBSECTION section = {};
  ASSERT_NE(0, GetObjectW(bitmap.handle, sizeof(section), &section));
  const uint8_t* bits = static_cast<const uint8_t*>(section.dsBm.bmBits);
  const int stride = section.dsBm.bmWidthBytes;
  const int height = section.dsBm.bmHeight;
  auto pixel = [&](int x, int y) { return bits + size_t(height - 1 - y) * stride + x * 4; };
  const uint8_t* band = pixel(600, 50);
  EXPECT_NEAR(49, band[0], 8);
  EXPECT_NEAR(36, band[1], 8);
  EXPECT_NEAR(30, band[2], 8);
  EXPECT_EQ(255, band[3]);
  const uint8_t* low = pixel(600, 590);
  EXPECT_LT(low[0] + low[1] + low[2], band[0] + band[1] + band[2]);
  EXPECT_NEAR(0, pixel(0, 0)[3], 3);
  EXPECT_NEAR(0, pixel(1068, 611)[3], 3);
  EXPECT_NEAR(0, pixel(0, 611)[3], 3);
}

TEST(ShippedSkins, ButtonStatesDifferVisibly) {
  const SkinPictures::ButtonPictures buttons[] = {
      SkinPictures::kSmallCloseButton, SkinPictures::kMainCloseButton,
      SkinPictures::kMinimizeButton,   SkinPictures::kGovernmentButton,
      SkinPictures::kBbsButton,        SkinPictures::kChargeButton,
      SkinPictures::kCustomServiceButton};
  for (const auto& button : buttons) {
    const int states[] = {button.normal, button.over, button.down};
    std::vector<std::vector<uint8_t>> decoded;
    for (int id : states) {
      const ResourceBytes bytes = Find(id);
      uint32_t width = 0, height = 0;
      ASSERT_TRUE(GetAjpgInfo(bytes.data, bytes.size, &width, &height, nullptr, nullptr, nullptr));
      decoded.emplace_back(size_t(width) * height * 4);
      ASSERT_TRUE(DecodeAjpg(bytes.data, bytes.size, decoded.back().data(), decoded.back().size(),
                             width * 4));
    }
    for (int a = 0; a < 3; ++a) {
      for (int b = a + 1; b < 3; ++b) {
        long difference = 0;
        for (size_t i = 0; i < decoded[a].size(); ++i) {
          difference += std::abs(int(decoded[a][i]) - int(decoded[b][i]));
        }
        EXPECT_GT(difference / long(decoded[a].size() / 4), 4) << states[a] << " " << states[b];
      }
    }
  }
}

TEST(AjpgBitmap, MissingResourceGivesNull) {
  EXPECT_EQ(nullptr, LoadAjpgBitmapById(GetModuleHandleW(nullptr), 9999, nullptr));
  EXPECT_EQ(nullptr, LoadAjpgBitmap(GetModuleHandleW(nullptr), nullptr, nullptr));
}

}  // namespace
