// The launcher window's drawing and loading-phase mouse handling, on solid
// pictures whose every pixel is known, checked in the composition image.
#include <gtest/gtest.h>

#include <windows.h>

#include "LauncherWindow.h"
#include "MessageFormat.h"
#include "WindowTestSupport.h"

using namespace WindowTest;

namespace {

class LauncherWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCursorPos(0, 0);
    window = CreateLauncherWindow(&launcher);
    ASSERT_NE(window, nullptr);
    host.window = &launcher;
    launcher.Attach(GetModuleHandleW(nullptr), window, &host, nullptr);
    ASSERT_TRUE(launcher.SetUpSkin(pictures));
    launcher.SetLoading(true);
    ShowWindow(window, SW_SHOWNA);
    launcher.RedrawOnWindow();
    Pump();
  }
  void TearDown() override {
    launcher.SetLoading(false);
    if (IsWindow(window)) DestroyWindow(window);
    Pump();
  }
  DWORD Composition(int x, int y) { return PixelOf(launcher.CompositionBitmap(), x, y); }
  COLORREF CompositionColour(int x, int y) { return ColourOf(Composition(x, y)); }
  void Post(UINT message, int x, int y) {
    PostMessageW(window, message, 0, Point(x, y));
    Pump();
  }
  void Click(int x, int y) {
    Post(WM_LBUTTONDOWN, x, y);
    Post(WM_LBUTTONUP, x, y);
  }
  static int CentreX(const RECT& r) { return (r.left + r.right) / 2; }
  static int CentreY(const RECT& r) { return (r.top + r.bottom) / 2; }
  bool RectHasColour(const RECT& r, COLORREF colour) {
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        if (CompositionColour(x, y) == colour) return true;
    return false;
  }

  LauncherWindow launcher;
  SolidPictures pictures;
  RecordingHost host;
  HWND window = nullptr;
};

const COLORREF kSmallBackground = SolidPictures::ColourFor(160);
const COLORREF kMainBackground = SolidPictures::ColourFor(132);

TEST_F(LauncherWindowTest, SetUpMakesACentredLayeredPopupOfTheSmallSkin) {
  RECT rect;
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.right - rect.left, 150);
  EXPECT_EQ(rect.bottom - rect.top, 100);
  EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 150) / 2);
  EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 100) / 2);
  EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED);
  // The system may add WS_CLIPSIBLINGS to any top-level window.
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)) & ~(WS_VISIBLE | WS_CLIPSIBLINGS),
            static_cast<DWORD>(WS_POPUP | WS_MINIMIZEBOX));
  EXPECT_EQ(host.layouts, 1);
  EXPECT_TRUE(launcher.GetButton(ButtonId::Close).visible);
  for (int i = 1; i < kButtonCount; ++i)
    EXPECT_FALSE(launcher.GetButton(static_cast<ButtonId>(i)).visible) << i;
  const int order[] = {132, 160, 161, 144, 135, 179, 180, 183, 182, 181, 140, 142, 141,
                       176, 178, 177, 167, 169, 168, 170, 172, 171, 173, 175, 174};
  ASSERT_EQ(pictures.loaded.size(), sizeof(order) / sizeof(order[0]));
  for (size_t i = 0; i < pictures.loaded.size(); ++i) EXPECT_EQ(pictures.loaded[i], order[i]);
}

TEST_F(LauncherWindowTest, AMissingPictureTearsTheSkinDown) {
  for (int failing : {132, 179, 181, 174}) {
    SCOPED_TRACE(failing);
    LauncherWindow other;
    SolidPictures broken;
    broken.failId = failing;
    RecordingHost otherHost;
    otherHost.window = &other;
    other.Attach(GetModuleHandleW(nullptr), window, &otherHost, nullptr);
    EXPECT_FALSE(other.SetUpSkin(broken));
    EXPECT_EQ(other.CompositionBitmap(), nullptr);
    EXPECT_EQ(other.CurrentBackground(), nullptr);
    EXPECT_EQ(other.GetButton(ButtonId::Close).normalImage, nullptr);
    EXPECT_EQ(otherHost.layouts, 0);
  }
}

TEST_F(LauncherWindowTest, RedrawComposesBackgroundBarAndButtonUnderTheBackgroundsAlpha) {
  launcher.SetProgress(0.5f);
  launcher.RedrawOnWindow();
  // Background with its shape: transparent corner, opaque body, half row.
  EXPECT_EQ(AlphaOf(Composition(0, 0)), 0);
  EXPECT_EQ(AlphaOf(Composition(75, 40)), 255);
  EXPECT_EQ(AlphaOf(Composition(75, 99)), 128);
  EXPECT_EQ(CompositionColour(75, 40), kSmallBackground);
  // The small bar, 50 of its 100 pixels.
  EXPECT_EQ(CompositionColour(20, 80), SolidPictures::ColourFor(161));
  EXPECT_EQ(CompositionColour(69, 82), SolidPictures::ColourFor(161));
  EXPECT_EQ(CompositionColour(70, 80), kSmallBackground);
  // The pictures never change the window's alpha.
  EXPECT_EQ(AlphaOf(Composition(20, 80)), 255);
  // Close in its normal picture; hidden buttons are not drawn.
  EXPECT_EQ(CompositionColour(135, 10), SolidPictures::ColourFor(180));
  EXPECT_EQ(CompositionColour(40, 10), kSmallBackground);
  // No sub bar on the small skin.
  EXPECT_EQ(CompositionColour(25, 92), kSmallBackground);
}

TEST_F(LauncherWindowTest, CopyBackgroundAlphaWalksOnlyTheCommonPart) {
  HBITMAP background = SolidPicture(10, 10, RGB(1, 2, 3), 7);
  HBITMAP composition = SolidPicture(5, 20, RGB(9, 9, 9), 0);
  SIZE walked = CopyBackgroundAlpha(background, composition);
  EXPECT_EQ(walked.cx, 5);
  EXPECT_EQ(walked.cy, 10);
  EXPECT_EQ(AlphaOf(PixelOf(composition, 4, 9)), 7);
  EXPECT_EQ(AlphaOf(PixelOf(composition, 4, 10)), 0);
  EXPECT_EQ(ColourOf(PixelOf(composition, 0, 0)), RGB(9, 9, 9));
  walked = CopyBackgroundAlpha(composition, background);
  EXPECT_EQ(walked.cx, 5);
  EXPECT_EQ(walked.cy, 10);
  EXPECT_EQ(CopyBackgroundAlpha(nullptr, composition).cx, 0);
  EXPECT_EQ(CopyBackgroundAlpha(background, nullptr).cy, 0);
  DeleteObject(background);
  DeleteObject(composition);
}

TEST_F(LauncherWindowTest, PresentingWithoutACompositionImageDrawsNothing) {
  // A main background that can no longer be read leaves the main skin
  // without a composition image; drawing and presenting then do nothing.
  HBITMAP main = launcher.Picture(SkinPicture::MainBackground);
  ASSERT_NE(main, nullptr);
  DeleteObject(main);
  ASSERT_TRUE(launcher.SwitchToMainSkin());
  EXPECT_EQ(launcher.CompositionBitmap(), nullptr);
  EXPECT_TRUE(launcher.PresentLayered(nullptr));
  launcher.RedrawOnWindow();
  EXPECT_TRUE(launcher.SetProgress(0.7f));
  EXPECT_TRUE(launcher.SetSubProgress(0.7f));
  EXPECT_TRUE(launcher.SetMessage(MessageStyle()));
  Post(WM_MOUSEMOVE, 626, 10);
  EXPECT_TRUE(IsWindow(window));
}

TEST_F(LauncherWindowTest, SwitchToMainSkinOnceShowsEveryButtonAndTheMainClose) {
  ASSERT_TRUE(launcher.SwitchToMainSkin());
  RECT rect;
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.right - rect.left, 640);
  EXPECT_EQ(rect.bottom - rect.top, 200);
  EXPECT_TRUE(launcher.IsMainSkin());
  EXPECT_TRUE(launcher.IsBrowserShown());
  for (int i = 0; i < kButtonCount; ++i)
    EXPECT_TRUE(launcher.GetButton(static_cast<ButtonId>(i)).visible) << i;
  EXPECT_EQ(CompositionColour(626, 10), SolidPictures::ColourFor(137));
  EXPECT_EQ(CompositionColour(606, 10), SolidPictures::ColourFor(140));
  EXPECT_EQ(CompositionColour(70, 25), SolidPictures::ColourFor(176));
  EXPECT_EQ(CompositionColour(100, 25), SolidPictures::ColourFor(167));
  // The page is not complete: the placeholder stands in its place.
  EXPECT_EQ(CompositionColour(375, 70), SolidPictures::ColourFor(179));
  EXPECT_EQ(AlphaOf(Composition(0, 0)), 0);
  EXPECT_EQ(host.layouts, 2);
  size_t loads = pictures.loaded.size();
  ASSERT_TRUE(launcher.SwitchToMainSkin());
  EXPECT_EQ(host.layouts, 2);
  EXPECT_EQ(pictures.loaded.size(), loads);
}

TEST_F(LauncherWindowTest, ADisabledPageLeavesTheBrowserAreaToTheBackground) {
  WindowSettings settings;
  settings.pageEnabled = false;
  launcher.SetSettings(settings);
  launcher.SwitchToMainSkin();
  EXPECT_FALSE(launcher.IsBrowserShown());
  EXPECT_EQ(CompositionColour(375, 70), kMainBackground);
}

TEST_F(LauncherWindowTest, SubProgressShowsOnlyOnTheMainSkinWhenVisible) {
  launcher.SetSubProgress(0.5f);
  EXPECT_EQ(CompositionColour(25, 92), kSmallBackground);
  launcher.SwitchToMainSkin();
  launcher.SetSubProgress(0.25f);
  EXPECT_EQ(CompositionColour(50, 150), SolidPictures::ColourFor(144));
  EXPECT_EQ(CompositionColour(99, 158), SolidPictures::ColourFor(144));
  EXPECT_EQ(CompositionColour(100, 150), kMainBackground);
  WindowSettings hidden;
  hidden.subProgressVisible = false;
  launcher.SetSettings(hidden);
  launcher.RedrawOnWindow();
  EXPECT_EQ(CompositionColour(50, 150), kMainBackground);
}

TEST_F(LauncherWindowTest, ProgressRedrawsOnlyWhenItsWholePixelWidthChanges) {
  launcher.SwitchToMainSkin();
  const COLORREF bar = SolidPictures::ColourFor(135);
  launcher.SetProgress(0.999f);  // 566.4 of 567 pixels
  EXPECT_EQ(CompositionColour(50 + 565, 172), bar);
  EXPECT_EQ(CompositionColour(50 + 566, 172), kMainBackground);
  // A mark inside the bar survives a change that keeps the width.
  SetPixelOf(launcher.CompositionBitmap(), 60, 172, 0xFF000000);
  launcher.SetProgress(0.9995f);  // 566.7: still 566
  EXPECT_FLOAT_EQ(launcher.Progress(), 0.9995f);
  EXPECT_EQ(CompositionColour(60, 172), RGB(0, 0, 0));
  launcher.SetProgress(2.0f);
  EXPECT_FLOAT_EQ(launcher.Progress(), 1.0f);
  EXPECT_EQ(CompositionColour(60, 172), bar);
  EXPECT_EQ(CompositionColour(50 + 566, 172), bar);
  launcher.SetProgress(-1.0f);
  EXPECT_FLOAT_EQ(launcher.Progress(), 0.0f);
  EXPECT_EQ(CompositionColour(50, 172), kMainBackground);
}

TEST_F(LauncherWindowTest, HoverPressAndReleaseOutsideOnlyRedrawTheButton) {
  const COLORREF normal = SolidPictures::ColourFor(180), over = SolidPictures::ColourFor(183),
                 down = SolidPictures::ColourFor(182);
  Button& close = launcher.GetButton(ButtonId::Close);
  Post(WM_MOUSEMOVE, 135, 10);
  EXPECT_TRUE(close.hover);
  EXPECT_EQ(CompositionColour(135, 10), over);
  Post(WM_LBUTTONDOWN, 135, 10);
  EXPECT_TRUE(close.pressed);
  EXPECT_EQ(CompositionColour(135, 10), down);
  EXPECT_EQ(GetCapture(), window);
  Post(WM_LBUTTONUP, 60, 90);
  EXPECT_FALSE(close.pressed);
  EXPECT_EQ(host.exitQuestions, 0);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(CompositionColour(135, 10), over);
  Post(WM_MOUSEMOVE, 60, 90);
  EXPECT_FALSE(close.hover);
  EXPECT_EQ(CompositionColour(135, 10), normal);
}

TEST_F(LauncherWindowTest, HiddenButtonsNeverReact) {
  Button& minimize = launcher.GetButton(ButtonId::Minimize);
  int x = CentreX(minimize.rect), y = CentreY(minimize.rect);
  Post(WM_MOUSEMOVE, x, y);
  EXPECT_FALSE(minimize.hover);
  // A press outside every visible control starts the system's window move,
  // whose loop runs until the button is released: the release is queued
  // before the press is handled.
  PostMessageW(window, WM_LBUTTONDOWN, 0, Point(x, y));
  PostMessageW(window, WM_LBUTTONUP, 0, Point(x, y));
  Pump();
  EXPECT_FALSE(minimize.pressed);
  EXPECT_FALSE(IsIconic(window));
}

TEST_F(LauncherWindowTest, OutsideTheLoadingPhaseTheSystemHandlesEverything) {
  launcher.SetLoading(false);
  Post(WM_MOUSEMOVE, 135, 10);
  EXPECT_FALSE(launcher.GetButton(ButtonId::Close).hover);
  host.exitAnswer = ExitAnswer::Cancelled;
  PostMessageW(window, WM_CLOSE, 0, 0);
  Pump();
  EXPECT_EQ(host.exitQuestions, 0);
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(LauncherWindowTest, PaintAndActivationRedrawTheWholeWindow) {
  for (UINT message : {static_cast<UINT>(WM_PAINT), static_cast<UINT>(WM_ACTIVATEAPP),
                       static_cast<UINT>(WM_SETFOCUS)}) {
    SCOPED_TRACE(message);
    SetPixelOf(launcher.CompositionBitmap(), 75, 40, 0xFF000000);
    SendMessageW(window, message, 0, 0);
    EXPECT_EQ(CompositionColour(75, 40), kSmallBackground);
  }
  EXPECT_EQ(SendMessageW(window, WM_ERASEBKGND, 0, 0), 0);
}

struct CloseCase {
  const char* label;
  ExitAnswer answer;
  bool closes;
};

TEST_F(LauncherWindowTest, CloseButtonClosesOnlyWhenConfirmed) {
  // The confirmed case closes the window, so it comes last.
  const CloseCase cases[] = {{"cancelled", ExitAnswer::Cancelled, false},
                             {"no text", ExitAnswer::NoText, false},
                             {"confirmed", ExitAnswer::Confirmed, true}};
  for (const CloseCase& c : cases) {
    SCOPED_TRACE(c.label);
    host.exitAnswer = c.answer;
    host.exitQuestions = 0;
    Click(135, 10);
    EXPECT_EQ(host.exitQuestions, 1);
    EXPECT_EQ(IsWindow(window) == FALSE, c.closes);
    if (IsWindow(window)) {
      EXPECT_FALSE(launcher.GetButton(ButtonId::Close).pressed);
    }
  }
}

TEST_F(LauncherWindowTest, WindowCloseStaysOpenOnlyWhenCancelled) {
  const CloseCase cases[] = {{"cancelled", ExitAnswer::Cancelled, false},
                             {"no text", ExitAnswer::NoText, true}};
  for (const CloseCase& c : cases) {
    SCOPED_TRACE(c.label);
    host.exitAnswer = c.answer;
    PostMessageW(window, WM_CLOSE, 0, 0);
    Pump();
    EXPECT_EQ(IsWindow(window) == FALSE, c.closes);
  }
}

TEST_F(LauncherWindowTest, ADisabledCloseShowsItsPictureAndIgnoresTheRelease) {
  Button& close = launcher.GetButton(ButtonId::Close);
  close.disabled = true;
  launcher.RedrawButton(ButtonId::Close);
  const COLORREF disabled = SolidPictures::ColourFor(181);
  EXPECT_EQ(CompositionColour(135, 10), disabled);
  Post(WM_MOUSEMOVE, 135, 10);
  Post(WM_LBUTTONDOWN, 135, 10);
  EXPECT_EQ(CompositionColour(135, 10), disabled);
  Post(WM_LBUTTONUP, 135, 10);
  EXPECT_EQ(host.exitQuestions, 0);
  EXPECT_TRUE(IsWindow(window));
}

TEST_F(LauncherWindowTest, LinkButtonsOpenTheirLinkOnAReleaseOverThem) {
  launcher.SwitchToMainSkin();
  for (int link = 0; link < 4; ++link) {
    const RECT& r = launcher.GetButton(static_cast<ButtonId>(2 + link)).rect;
    Click(CentreX(r), CentreY(r));
  }
  ASSERT_EQ(host.links.size(), 4u);
  for (int link = 0; link < 4; ++link) EXPECT_EQ(host.links[link], link);
  const RECT& first = launcher.GetButton(ButtonId::Government).rect;
  Post(WM_LBUTTONDOWN, CentreX(first), CentreY(first));
  Post(WM_LBUTTONUP, 5, 190);
  EXPECT_EQ(host.links.size(), 4u);
  EXPECT_FALSE(launcher.GetButton(ButtonId::Government).pressed);
}

TEST_F(LauncherWindowTest, MinimizeButtonMinimises) {
  launcher.SwitchToMainSkin();
  Click(606, 10);
  EXPECT_TRUE(IsIconic(window));
}

MessageStyle Style(const wchar_t* text, COLORREF colour, COLORREF over, COLORREF down) {
  MessageStyle style;
  style.text = text;
  style.color = colour;
  style.overColor = over;
  style.downColor = down;
  return style;
}

TEST_F(LauncherWindowTest, MessageTakesItsColourForEachMouseState) {
  const COLORREF plain = RGB(255, 255, 0), over = RGB(0, 255, 255), down = RGB(255, 0, 255);
  const RECT message = SmallRects().message;
  ASSERT_TRUE(launcher.SetMessage(Style(L"MMMMWWWW", plain, over, down)));
  EXPECT_TRUE(RectHasColour(message, plain));
  Post(WM_MOUSEMOVE, CentreX(message), CentreY(message));
  EXPECT_TRUE(launcher.MessageHover());
  EXPECT_TRUE(RectHasColour(message, over));
  EXPECT_FALSE(RectHasColour(message, plain));
  Post(WM_LBUTTONDOWN, CentreX(message), CentreY(message));
  EXPECT_TRUE(launcher.MessagePressed());
  EXPECT_TRUE(RectHasColour(message, down));
  Post(WM_LBUTTONUP, CentreX(message), CentreY(message));
  EXPECT_FALSE(launcher.MessagePressed());
  EXPECT_TRUE(RectHasColour(message, over));
  EXPECT_TRUE(host.messageUrls.empty());
  EXPECT_EQ(host.restarts, 0);
}

TEST_F(LauncherWindowTest, APressOnAnEmptyMessageNeverMovesTheWindow) {
  RECT before;
  GetWindowRect(window, &before);
  Post(WM_LBUTTONDOWN, 15, 55);
  EXPECT_TRUE(launcher.MessagePressed());
  EXPECT_EQ(GetCapture(), window);
  Post(WM_CAPTURECHANGED, 0, 0);
  EXPECT_FALSE(launcher.MessagePressed());
  RECT after;
  GetWindowRect(window, &after);
  EXPECT_EQ(before.left, after.left);
  EXPECT_EQ(before.top, after.top);
  ReleaseCapture();
}

TEST_F(LauncherWindowTest, MessageClickOpensItsUrlOrRestartsAtOnce) {
  const RECT message = SmallRects().message;
  MessageStyle link = Style(L"open", RGB(1, 1, 1), RGB(2, 2, 2), RGB(3, 3, 3));
  link.clickToOpenUrl = true;
  link.url = L"http://127.0.0.1/help";
  launcher.SetMessage(link);
  Click(CentreX(message), CentreY(message));
  ASSERT_EQ(host.messageUrls.size(), 1u);
  EXPECT_EQ(host.messageUrls[0], L"http://127.0.0.1/help");
  // A release outside the message does nothing.
  Post(WM_LBUTTONDOWN, CentreX(message), CentreY(message));
  Post(WM_LBUTTONUP, 75, 5);
  EXPECT_EQ(host.messageUrls.size(), 1u);

  MessageStyle reboot = Style(L"restart", RGB(1, 1, 1), RGB(2, 2, 2), RGB(3, 3, 3));
  reboot.clickToReboot = true;
  reboot.clickToOpenUrl = true;
  reboot.url = L"http://127.0.0.1/never";
  launcher.SetMessage(reboot);
  Post(WM_LBUTTONDOWN, CentreX(message), CentreY(message));
  // Whatever the restart does to the window, nothing is drawn after it.
  SetPixelOf(launcher.CompositionBitmap(), message.left, message.top, 0xFF000000);
  Post(WM_LBUTTONUP, CentreX(message), CentreY(message));
  EXPECT_EQ(host.restarts, 1);
  EXPECT_EQ(host.messageUrls.size(), 1u);
  EXPECT_FALSE(launcher.MessagePressed());
  EXPECT_EQ(CompositionColour(message.left, message.top), RGB(0, 0, 0));
}

TEST_F(LauncherWindowTest, FormattedMessageRedrawsOnlyOnAChange) {
  const RECT message = SmallRects().message;
  MessageStyle progress = Style(L"update %d%%", RGB(255, 255, 0), 0, 0);
  launcher.ShowFormattedMessage(progress, 42);
  EXPECT_EQ(launcher.MessageText(), L"update 42%");
  SetPixelOf(launcher.CompositionBitmap(), message.left, message.top, 0xFF000000);
  EXPECT_TRUE(launcher.ShowFormattedMessage(progress, 42));
  EXPECT_EQ(CompositionColour(message.left, message.top), RGB(0, 0, 0));
  EXPECT_TRUE(launcher.ShowFormattedMessage(progress, 43));
  EXPECT_EQ(launcher.MessageText(), L"update 43%");
  EXPECT_EQ(CompositionColour(message.left, message.top), kSmallBackground);
}

struct FormatCase {
  const wchar_t* format;
  int value;
  const wchar_t* expected;
};

TEST(MessageFormatTest, OnlyIntegerConversionsTakeTheNumber) {
  const FormatCase cases[] = {
      {L"%d%%", 42, L"42%"},
      {L"code %i", -3, L"code -3"},
      {L"%u", -1, L"4294967295"},
      {L"[%5d]", 7, L"[    7]"},
      {L"[%-3d]", 7, L"[7  ]"},
      {L"%03d", 7, L"007"},
      {L"%s and %n", 1, L"%s and %n"},
      {L"%d %d", 5, L"5 5"},
      {L"100%", 0, L"100%"},
      {L"", 1, L""},
      {L"no conversion", 1, L"no conversion"},
  };
  for (const FormatCase& c : cases)
    EXPECT_EQ(FormatWithInt(c.format, c.value, 2047), c.expected) << c.format;
  std::wstring longText(3000, L'x');
  EXPECT_EQ(FormatWithInt(longText, 0, 2047).size(), 2047u);
  EXPECT_EQ(FormatWithInt(L"%d", 123456, 3), L"123");
}

}  // namespace
