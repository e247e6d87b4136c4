#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "AjpgBitmap.h"
#include "ConfigMgr.h"
#include "ControlLayout.h"
#include "LayoutConfig.h"
#include "SkinPictures.h"

void PrintTo(const LayoutRect& r, std::ostream* out);

namespace {

void PictureSize(int id, int32_t* width, int32_t* height) {
  *width = 0;
  *height = 0;
  HBITMAP bitmap = LoadAjpgBitmapById(GetModuleHandleW(nullptr), id, nullptr);
  if (bitmap == nullptr) return;
  BITMAP info = {};
  if (GetObjectW(bitmap, sizeof(info), &info) != 0) {
    *width = info.bmWidth;
    *height = info.bmHeight;
  }
  DeleteObject(bitmap);
}

void SetPictureSize(ControlLayout* layout, LayoutControl control, int id) {
  int32_t width = 0, height = 0;
  PictureSize(id, &width, &height);
  layout->SetSize(control, width, height);
}

// What the window does: records and configured sizes from the
// configuration, the other sizes from the shipped pictures.
ControlLayout SkinLayout(const ConfigMgr& config, bool mainSkin) {
  ControlLayout layout;
  ApplyLayoutConfig(config, mainSkin, &layout);
  SetPictureSize(&layout, LayoutControl::kWindow,
                 mainSkin ? SkinPictures::kMainBackground : SkinPictures::kSmallBackground);
  SetPictureSize(&layout, LayoutControl::kSubProgress, SkinPictures::kSubProgressBar);
  SetPictureSize(&layout, LayoutControl::kProgress,
                 mainSkin ? SkinPictures::kProgressBar : SkinPictures::kSmallProgressBar);
  SetPictureSize(&layout, LayoutControl::kCloseButton,
                 mainSkin ? SkinPictures::kMainCloseButton.normal
                          : SkinPictures::kSmallCloseButton.normal);
  SetPictureSize(&layout, LayoutControl::kMinimizeButton, SkinPictures::kMinimizeButton.normal);
  SetPictureSize(&layout, LayoutControl::kGovernmentButton,
                 SkinPictures::kGovernmentButton.normal);
  SetPictureSize(&layout, LayoutControl::kBbsButton, SkinPictures::kBbsButton.normal);
  SetPictureSize(&layout, LayoutControl::kChargeButton, SkinPictures::kChargeButton.normal);
  SetPictureSize(&layout, LayoutControl::kCustomServiceButton,
                 SkinPictures::kCustomServiceButton.normal);
  SetPictureSize(&layout, LayoutControl::kLoadingWebBrowser, SkinPictures::kBrowserPlaceholder);
  layout.Layout();
  return layout;
}

class ShippedLayoutTest : public ::testing::Test {
 protected:
  // The configuration the launcher embeds, from this program's resources.
  void SetUp() override { ASSERT_TRUE(config_.LoadConfig(GetModuleHandleW(nullptr))); }
  ConfigMgr config_;
};

TEST_F(ShippedLayoutTest, MainSkinPlacesEveryControl) {
  const ControlLayout layout = SkinLayout(config_, true);
  EXPECT_EQ((LayoutRect{0, 0, 1069, 612}), layout.Rect(LayoutControl::kWindow));
  EXPECT_EQ((LayoutRect{364, 121, 924, 499}), layout.Rect(LayoutControl::kWebBrowser));
  EXPECT_EQ((LayoutRect{270, 503, 837, 512}), layout.Rect(LayoutControl::kSubProgress));
  EXPECT_EQ((LayoutRect{270, 516, 837, 525}), layout.Rect(LayoutControl::kProgress));
  EXPECT_EQ((LayoutRect{253, 525, 853, 545}), layout.Rect(LayoutControl::kMessage));
  EXPECT_EQ((LayoutRect{964, 25, 994, 55}), layout.Rect(LayoutControl::kCloseButton));
  EXPECT_EQ((LayoutRect{930, 35, 960, 65}), layout.Rect(LayoutControl::kMinimizeButton));
  EXPECT_EQ((LayoutRect{317, 27, 414, 77}), layout.Rect(LayoutControl::kGovernmentButton));
  EXPECT_EQ((LayoutRect{736, 27, 833, 77}), layout.Rect(LayoutControl::kCustomServiceButton));
  EXPECT_EQ((LayoutRect{513, 262, 643, 311}), layout.Rect(LayoutControl::kLoadingWebBrowser));
}

TEST_F(ShippedLayoutTest, SmallSkinPlacesCloseProgressAndMessage) {
  const ControlLayout layout = SkinLayout(config_, false);
  EXPECT_EQ((LayoutRect{0, 0, 352, 245}), layout.Rect(LayoutControl::kWindow));
  EXPECT_EQ((LayoutRect{304, 10, 330, 36}), layout.Rect(LayoutControl::kCloseButton));
  EXPECT_EQ((LayoutRect{76, 147, 277, 150}), layout.Rect(LayoutControl::kProgress));
  EXPECT_EQ((LayoutRect{26, 127, 326, 143}), layout.Rect(LayoutControl::kMessage));
  // The browser area is laid out on the small skin too, against the small window.
  EXPECT_EQ((LayoutRect{6, 121, 566, 499}), layout.Rect(LayoutControl::kWebBrowser));
}

TEST_F(ShippedLayoutTest, RecordsFollowTheSkin) {
  EXPECT_EQ(&config_.selfUpdateMessage,
            LayoutRecordOf(config_, LayoutControl::kMessage, false));
  EXPECT_EQ(&config_.messages, LayoutRecordOf(config_, LayoutControl::kMessage, true));
  EXPECT_EQ(&config_.selfUpdateProgress, LayoutRecordOf(config_, LayoutControl::kProgress, false));
  EXPECT_EQ(&config_.selfUpdateCloseButton,
            LayoutRecordOf(config_, LayoutControl::kCloseButton, false));
  EXPECT_EQ(&config_.webBrowser, LayoutRecordOf(config_, LayoutControl::kWebBrowser, false));
  EXPECT_EQ(nullptr, LayoutRecordOf(config_, LayoutControl::kWindow, true));
}

}  // namespace
