#include <gtest/gtest.h>

#include "ControlLayout.h"

// Found by GoogleTest through the rectangle's own (global) namespace.
void PrintTo(const LayoutRect& r, std::ostream* out) {
  *out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

using Record = ControlLayout::Record;

LayoutRect Rect(int32_t l, int32_t t, int32_t r, int32_t b) { return LayoutRect{l, t, r, b}; }

// The shipped records and picture sizes of both skins.
ControlLayout MainSkin() {
  ControlLayout layout;
  layout.SetSize(LayoutControl::kWindow, 1069, 612);
  layout.SetRecord(LayoutControl::kWebBrowser, {"TopCenter", "Parent", "TopCenter", 110, 121});
  layout.SetSize(LayoutControl::kWebBrowser, 560, 378);
  layout.SetRecord(LayoutControl::kSubProgress, {"TopCenter", "WebBrowser", "BottomCenter", -91, 4});
  layout.SetSize(LayoutControl::kSubProgress, 567, 9);
  layout.SetRecord(LayoutControl::kProgress, {"TopCenter", "WebBrowser", "BottomCenter", -91, 17});
  layout.SetSize(LayoutControl::kProgress, 567, 9);
  layout.SetRecord(LayoutControl::kMessage, {"TopCenter", "WebBrowser", "BottomCenter", -91, 26});
  layout.SetSize(LayoutControl::kMessage, 600, 20);
  layout.SetRecord(LayoutControl::kCloseButton, {"TopLeft", "Parent", "TopLeft", 964, 25});
  layout.SetSize(LayoutControl::kCloseButton, 30, 30);
  layout.SetRecord(LayoutControl::kMinimizeButton, {"TopLeft", "Parent", "TopLeft", 930, 35});
  layout.SetSize(LayoutControl::kMinimizeButton, 30, 30);
  layout.SetRecord(LayoutControl::kLoadingWebBrowser, {"TopLeft", "Parent", "TopLeft", 513, 262});
  layout.SetSize(LayoutControl::kLoadingWebBrowser, 130, 49);
  return layout;
}

ControlLayout SmallSkin() {
  ControlLayout layout;
  layout.SetSize(LayoutControl::kWindow, 352, 245);
  layout.SetRecord(LayoutControl::kCloseButton, {"TopRight", "Parent", "TopRight", -22, 10});
  layout.SetSize(LayoutControl::kCloseButton, 26, 26);
  layout.SetRecord(LayoutControl::kProgress, {"BottomCenter", "Parent", "BottomCenter", 0, -95});
  layout.SetSize(LayoutControl::kProgress, 201, 3);
  layout.SetRecord(LayoutControl::kMessage, {"BottomCenter", "Parent", "BottomCenter", 0, -102});
  layout.SetSize(LayoutControl::kMessage, 300, 16);
  return layout;
}

TEST(ControlLayout, ShippedMainSkinPlacesTheBrowserBarsAndMessage) {
  ControlLayout layout = MainSkin();
  EXPECT_TRUE(layout.Layout());
  EXPECT_EQ(Rect(0, 0, 1069, 612), layout.Rect(LayoutControl::kWindow));
  EXPECT_EQ(Rect(364, 121, 924, 499), layout.Rect(LayoutControl::kWebBrowser));
  EXPECT_EQ(Rect(270, 503, 837, 512), layout.Rect(LayoutControl::kSubProgress));
  EXPECT_EQ(Rect(270, 516, 837, 525), layout.Rect(LayoutControl::kProgress));
  EXPECT_EQ(Rect(253, 525, 853, 545), layout.Rect(LayoutControl::kMessage));
  EXPECT_EQ(Rect(964, 25, 994, 55), layout.Rect(LayoutControl::kCloseButton));
  EXPECT_EQ(Rect(513, 262, 643, 311), layout.Rect(LayoutControl::kLoadingWebBrowser));
}

TEST(ControlLayout, ShippedSmallSkinPlacesCloseProgressAndMessage) {
  ControlLayout layout = SmallSkin();
  layout.Layout();
  EXPECT_EQ(Rect(304, 10, 330, 36), layout.Rect(LayoutControl::kCloseButton));
  EXPECT_EQ(Rect(76, 147, 277, 150), layout.Rect(LayoutControl::kProgress));
  EXPECT_EQ(Rect(26, 127, 326, 143), layout.Rect(LayoutControl::kMessage));
}

struct AnchorCase {
  const char* point;
  const char* relatePoint;
  LayoutRect expected;
};

// Reference (10, 20, 110, 220), offset (3, 4), control 50 x 30.
const AnchorCase kAnchorCases[] = {
    {"TopLeft", "TopLeft", {13, 24, 63, 54}},
    {"lefttop", "LEFTTOP", {13, 24, 63, 54}},
    {"TopCenter", "CenterTop", {38, 24, 88, 54}},
    {"TopRight", "RightTop", {63, 24, 113, 54}},
    {"RightCenter", "CenterRight", {63, 109, 113, 139}},
    {"RightBottom", "BottomRight", {63, 194, 113, 224}},
    {"BottomCenter", "CenterBottom", {38, 194, 88, 224}},
    {"LeftBottom", "BottomLeft", {13, 194, 63, 224}},
    {"LeftCenter", "CenterLeft", {13, 109, 63, 139}},
    {"Center", "center", {38, 109, 88, 139}},
    {"TopLefft", "", {13, 24, 63, 54}},
    {"", "Middle", {13, 24, 63, 54}},
};

class AnchorTest : public ::testing::TestWithParam<AnchorCase> {};

TEST_P(AnchorTest, PlacesThePointOnThePoint) {
  const AnchorCase& c = GetParam();
  // Same anchor on both sides: the control's point lands on the reference's.
  LayoutRect out;
  EXPECT_TRUE(ComputeAnchoredRect(Rect(10, 20, 110, 220), c.point, c.relatePoint, 3, 4, 50, 30,
                                  &out));
  EXPECT_EQ(c.expected, out);
}

INSTANTIATE_TEST_SUITE_P(Anchors, AnchorTest, ::testing::ValuesIn(kAnchorCases));

TEST(ControlLayout, HalvingTruncatesTowardZero) {
  LayoutRect out;
  ComputeAnchoredRect(Rect(-1, -1, 0, 0), "TopLeft", "Center", 0, 0, 10, 10, &out);
  EXPECT_EQ(Rect(0, 0, 10, 10), out);
  ComputeAnchoredRect(Rect(0, 0, 0, 0), "Center", "TopLeft", 0, 0, 567, 9, &out);
  EXPECT_EQ(Rect(-283, -4, 284, 5), out);
}

TEST(ControlLayout, NamesResolveCaseInsensitivelyAndOthersMeanTheWindow) {
  EXPECT_EQ(LayoutControl::kMessage, LayoutControlByName("message"));
  EXPECT_EQ(LayoutControl::kWindow, LayoutControlByName("Messages"));
  EXPECT_EQ(LayoutControl::kWindow, LayoutControlByName("Parent"));
  EXPECT_EQ(LayoutControl::kWindow, LayoutControlByName(""));
  EXPECT_EQ(LayoutControl::kBbsButton, LayoutControlByName("bbsbutton"));
  EXPECT_EQ(LayoutControl::kLoadingWebBrowser, LayoutControlByName("LoadingWebBrowser"));
}

TEST(ControlLayout, ElementNamesFollowTheSkin) {
  EXPECT_STREQ("SelfUpdateMessage", LayoutElementName(LayoutControl::kMessage, false));
  EXPECT_STREQ("Messages", LayoutElementName(LayoutControl::kMessage, true));
  EXPECT_STREQ("SelfUpdateProgress", LayoutElementName(LayoutControl::kProgress, false));
  EXPECT_STREQ("SelfUpdateCloseButton", LayoutElementName(LayoutControl::kCloseButton, false));
  EXPECT_STREQ("CloseButton", LayoutElementName(LayoutControl::kCloseButton, true));
  EXPECT_STREQ("WebBrowser", LayoutElementName(LayoutControl::kWebBrowser, false));
  EXPECT_EQ(nullptr, LayoutElementName(LayoutControl::kWindow, true));
}

// The placeholder is computed last in the pass's order, but a control that
// refers to it gets it computed on demand first.
TEST(ControlLayout, AnchorToTheBrowserPlaceholderComputesItOnDemand) {
  ControlLayout layout = MainSkin();
  layout.SetRecord(LayoutControl::kCloseButton,
                   {"TopLeft", "LoadingWebBrowser", "BottomRight", 5, 6});
  layout.Layout();
  EXPECT_EQ(Rect(648, 317, 678, 347), layout.Rect(LayoutControl::kCloseButton));
  EXPECT_EQ(Rect(513, 262, 643, 311), layout.Rect(LayoutControl::kLoadingWebBrowser));
}

TEST(ControlLayout, ReferenceCycleEndsAndUsesThePreviousPass) {
  ControlLayout layout = MainSkin();
  layout.SetRecord(LayoutControl::kWebBrowser, {"TopLeft", "SubProgress", "BottomLeft", 0, 10});
  layout.SetRecord(LayoutControl::kSubProgress, {"TopLeft", "WebBrowser", "BottomLeft", 0, 10});
  layout.Layout();
  // The browser is computed first: the sub bar it asks for finds the browser
  // already started and reads its (0, 0, 0, 0).
  EXPECT_EQ(Rect(0, 10, 567, 19), layout.Rect(LayoutControl::kSubProgress));
  EXPECT_EQ(Rect(0, 29, 560, 407), layout.Rect(LayoutControl::kWebBrowser));
  // A second pass starts from these rectangles.
  layout.Layout();
  EXPECT_EQ(Rect(0, 417, 567, 426), layout.Rect(LayoutControl::kSubProgress));
  EXPECT_EQ(Rect(0, 436, 560, 814), layout.Rect(LayoutControl::kWebBrowser));
}

TEST(ControlLayout, SelfReferenceReadsItsOwnPreviousRectangle) {
  ControlLayout layout;
  layout.SetSize(LayoutControl::kWindow, 100, 100);
  layout.SetRecord(LayoutControl::kProgress, {"TopLeft", "Progress", "TopRight", 1, 0});
  layout.SetSize(LayoutControl::kProgress, 10, 2);
  layout.Layout();
  EXPECT_EQ(Rect(1, 0, 11, 2), layout.Rect(LayoutControl::kProgress));
  layout.Layout();
  EXPECT_EQ(Rect(12, 0, 22, 2), layout.Rect(LayoutControl::kProgress));
}

TEST(ControlLayout, EmptyRecordPutsTheControlAtTheWindowsTopLeft) {
  ControlLayout layout;
  layout.SetSize(LayoutControl::kWindow, 352, 245);
  layout.SetSize(LayoutControl::kMinimizeButton, 30, 30);
  layout.Layout();
  EXPECT_EQ(Rect(0, 0, 30, 30), layout.Rect(LayoutControl::kMinimizeButton));
}

}  // namespace
