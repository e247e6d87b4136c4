// The window on the shipped skin pictures and a configuration's layout, with
// the stand-in browser: screenshots of the small and the main skin checked at
// chosen pixels against the pictures they were drawn from.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "AjpgPictureSource.h"
#include "ConfiguredWindowHost.h"
#include "ConfigMgr.h"
#include "LauncherWindow.h"
#include "StandInBrowser.h"
#include "WebBrowser.h"
#include "WindowLayout.h"
#include "WindowTestSupport.h"

using namespace WindowTest;

namespace {

const char kConfig[] =
    "<Config>"
    "<Login Enable=\"true\" Url=\"http://127.0.0.1/login\"/>"
    "<WebBrowser Point=\"TopLeft\" RelateTo=\"Parent\" RelatePoint=\"TopLeft\" X=\"480\" Y=\"120\""
    " W=\"500\" H=\"300\"/>"
    "<LoadingWebBrowser Point=\"Center\" RelateTo=\"WebBrowser\" RelatePoint=\"Center\" X=\"0\" Y=\"0\"/>"
    "<SubProgress Point=\"BottomLeft\" RelateTo=\"Progress\" RelatePoint=\"TopLeft\" X=\"0\" Y=\"-6\""
    " Visible=\"true\"/>"
    "<Progress Point=\"BottomCenter\" RelateTo=\"Parent\" RelatePoint=\"BottomCenter\" X=\"0\" Y=\"-40\"/>"
    "<CloseButton Point=\"TopRight\" RelateTo=\"Parent\" RelatePoint=\"TopRight\" X=\"-14\" Y=\"12\"/>"
    "<MinimizeButton Point=\"RightCenter\" RelateTo=\"CloseButton\" RelatePoint=\"LeftCenter\" X=\"-4\""
    " Y=\"0\"/>"
    "<GovernmentButton Point=\"TopLeft\" RelateTo=\"Parent\" RelatePoint=\"TopLeft\" X=\"40\" Y=\"120\"/>"
    "<BBSButton Point=\"TopLeft\" RelateTo=\"GovernmentButton\" RelatePoint=\"BottomLeft\" X=\"0\" Y=\"8\"/>"
    "<ChargeButton Point=\"TopLeft\" RelateTo=\"BBSButton\" RelatePoint=\"BottomLeft\" X=\"0\" Y=\"8\"/>"
    "<CustomServiceButton Point=\"TopLeft\" RelateTo=\"ChargeButton\" RelatePoint=\"BottomLeft\" X=\"0\""
    " Y=\"8\"/>"
    "<Messages Point=\"BottomCenter\" RelateTo=\"SubProgress\" RelatePoint=\"TopCenter\" X=\"0\" Y=\"-4\""
    " W=\"560\" H=\"20\"/>"
    "<SelfUpdateProgress Point=\"BottomCenter\" RelateTo=\"Parent\" RelatePoint=\"BottomCenter\" X=\"0\""
    " Y=\"-30\"/>"
    "<SelfUpdateCloseButton Point=\"TopRight\" RelateTo=\"Parent\" RelatePoint=\"TopRight\" X=\"-10\""
    " Y=\"10\"/>"
    "<SelfUpdateMessage Point=\"BottomCenter\" RelateTo=\"Progress\" RelatePoint=\"TopCenter\" X=\"0\""
    " Y=\"-8\" W=\"300\" H=\"20\"/>"
    "</Config>";

const char kStrings[] =
    "<String>"
    "<update_resource_progress>Updating %d%%</update_resource_progress>"
    "<loading_game_error>Error %d</loading_game_error>"
    "<please_login>Please log in</please_login>"
    "</String>";

const char kMessages[] =
    "<Config><Messages Point=\"TopLeft\" W=\"10\" H=\"10\">"
    "<Message ID=\"please_login\" Color=\"0x0000FF\" OverColor=\"0x00FF00\""
    " ClickToOpenUrl=\"http://127.0.0.1/help\"/>"
    "</Messages></Config>";

class ConfigHost : public ConfiguredWindowHost {
 public:
  ConfigHost(const ConfigMgr& config, LauncherWindow& window)
      : ConfiguredWindowHost(config, window) {}
  void RestartUpdater() override {}
};

bool Near(COLORREF a, COLORREF b, int tolerance) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
         std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

class ShippedSkinWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    registration = new StandIn::Registration();
    StandIn::Reset();
    ASSERT_TRUE(config.LoadConfigText(kConfig, std::strlen(kConfig)));
    SetCursorPos(0, 0);
    window = CreateLauncherWindow(&launcher);
    ASSERT_NE(window, nullptr);
    launcher.Attach(GetModuleHandleW(nullptr), window, &host, &browser);
    launcher.SetSettings(WindowSettingsFrom(config, false));
    ASSERT_TRUE(launcher.SetUpSkin(source));
    const RECT& page = launcher.Rects().webBrowser;
    browser.Create(GetModuleHandleW(nullptr), window, page.left, page.top,
                   page.right - page.left, page.bottom - page.top);
    browser.SetShowBorder(false);
    browser.SetShowScrollBars(false);
    ShowWindow(browser.HostWindow(), SW_HIDE);
    launcher.SetLoading(true);
    ShowWindow(window, SW_SHOW);
    launcher.RedrawOnWindow();
    Pump();
  }
  void TearDown() override {
    launcher.SetLoading(false);
    browser.Destroy();
    launcher.FreeSkin();
    if (IsWindow(window)) DestroyWindow(window);
    Pump();
    delete registration;
    CoUninitialize();
  }
  DWORD Composition(int x, int y) { return PixelOf(launcher.CompositionBitmap(), x, y); }
  // The picture's own pixel at (x, y) of its rectangle.
  COLORREF PictureColour(HBITMAP picture, const RECT& rect, int x, int y) {
    return ColourOf(PixelOf(picture, x - rect.left, y - rect.top));
  }
  COLORREF Screen(int x, int y) {
    RECT rect;
    GetWindowRect(window, &rect);
    HDC screen = GetDC(nullptr);
    COLORREF colour = GetPixel(screen, rect.left + x, rect.top + y);
    ReleaseDC(nullptr, screen);
    return colour;
  }

  StandIn::Registration* registration = nullptr;
  ConfigMgr config;
  AjpgPictureSource source;
  LauncherWindow launcher;
  ConfigHost host{config, launcher};
  WebBrowser browser;
  HWND window = nullptr;
};

TEST_F(ShippedSkinWindowTest, SmallSkinShowsItsShapeBarAndClose) {
  RECT rect;
  GetWindowRect(window, &rect);
  ASSERT_EQ(rect.right - rect.left, 352);
  ASSERT_EQ(rect.bottom - rect.top, 245);
  launcher.SetProgress(0.5f);
  const WindowRects& r = launcher.Rects();
  HBITMAP background = launcher.CurrentBackground();
  // The rounded corner is transparent, the body opaque.
  EXPECT_EQ(AlphaOf(Composition(0, 0)), 0);
  EXPECT_EQ(AlphaOf(Composition(176, 120)), 255);
  EXPECT_EQ(ColourOf(Composition(176, 120)), ColourOf(PixelOf(background, 176, 120)));
  // Half the small bar, then the background again.
  HBITMAP bar = launcher.CurrentProgressBar();
  int barY = r.progress.top + 1;
  EXPECT_EQ(r.progress.right - r.progress.left, 201);
  EXPECT_EQ(ColourOf(Composition(r.progress.left + 10, barY)),
            PictureColour(bar, r.progress, r.progress.left + 10, barY));
  EXPECT_EQ(ColourOf(Composition(r.progress.left + 150, barY)),
            ColourOf(PixelOf(background, r.progress.left + 150, barY)));
  // Close in its normal picture at its place.
  const RECT& close = launcher.GetButton(ButtonId::Close).rect;
  EXPECT_EQ(close.right, 352 - 10);
  EXPECT_EQ(close.top, 10);
  EXPECT_EQ(ColourOf(Composition(close.left + 13, close.top + 13)),
            PictureColour(launcher.GetButton(ButtonId::Close).normalImage, close, close.left + 13,
                          close.top + 13));
  // What the screen shows inside the window is the composition. Tests
  // running beside this one centre their windows too: this one moves to the
  // top right corner, on top, before the screen is read.
  SetWindowPos(window, HWND_TOPMOST, GetSystemMetrics(SM_CXSCREEN) - 352, 0, 0, 0,
               SWP_NOSIZE | SWP_NOACTIVATE);
  launcher.RedrawOnWindow();
  Pump();
  EXPECT_TRUE(Near(Screen(176, 120), ColourOf(Composition(176, 120)), 8));
}

// A bar change right after a frame waits for the next frame; it is not lost,
// on the timer or when the loading phase ends first.
TEST_F(ShippedSkinWindowTest, AChangeRightAfterAFrameIsShownByTheNextOne) {
  SetWindowPos(window, HWND_TOPMOST, GetSystemMetrics(SM_CXSCREEN) - 352, 0, 0, 0,
               SWP_NOSIZE | SWP_NOACTIVATE);
  const RECT& bar = launcher.Rects().progress;
  const int x = bar.right - 3, y = bar.top + 1;
  for (bool endLoading : {false, true}) {
    launcher.SetProgress(0.0f);
    launcher.RedrawOnWindow();
    Pump();
    launcher.SetProgress(1.0f);
    if (endLoading) launcher.SetLoading(false);
    const COLORREF drawn = ColourOf(Composition(x, y));
    for (DWORD start = GetTickCount(); GetTickCount() - start < 2000 && !Near(Screen(x, y), drawn, 8);
         Sleep(5))
      Pump();
    EXPECT_TRUE(Near(Screen(x, y), drawn, 8)) << (endLoading ? "loading ended" : "on the timer");
    launcher.SetLoading(true);
  }
}

TEST_F(ShippedSkinWindowTest, MainSkinShowsBarsButtonsAndThePlaceholderThenThePage) {
  StandIn::Current().completeOnNavigate = false;
  ASSERT_TRUE(browser.Navigate(L"http://127.0.0.1/login"));
  ASSERT_TRUE(launcher.SwitchToMainSkin());
  RECT rect;
  GetWindowRect(window, &rect);
  ASSERT_EQ(rect.right - rect.left, 1069);
  ASSERT_EQ(rect.bottom - rect.top, 612);
  launcher.SetSubProgress(1.0f);
  launcher.SetProgress(0.25f);
  const WindowRects& r = launcher.Rects();
  EXPECT_EQ(AlphaOf(Composition(0, 0)), 0);
  int y = r.progress.top + 4;
  HBITMAP bar = launcher.Picture(SkinPicture::ProgressBar);
  EXPECT_EQ(ColourOf(Composition(r.progress.left + 100, y)),
            PictureColour(bar, r.progress, r.progress.left + 100, y));
  HBITMAP sub = launcher.Picture(SkinPicture::SubProgressBar);
  int subY = r.subProgress.top + 4;
  EXPECT_EQ(ColourOf(Composition(r.subProgress.right - 2, subY)),
            PictureColour(sub, r.subProgress, r.subProgress.right - 2, subY));
  // Every button at its place in its normal picture.
  for (int i = 0; i < kButtonCount; ++i) {
    const Button& button = launcher.GetButton(static_cast<ButtonId>(i));
    int x = (button.rect.left + button.rect.right) / 2, by = (button.rect.top + button.rect.bottom) / 2;
    EXPECT_EQ(ColourOf(Composition(x, by)), PictureColour(button.normalImage, button.rect, x, by))
        << i;
  }
  // The page is loading: the placeholder, and the host window is shown.
  EXPECT_TRUE(IsWindowVisible(browser.HostWindow()));
  const RECT& placeholder = r.loadingWebBrowser;
  int px = (placeholder.left + placeholder.right) / 2, py = (placeholder.top + placeholder.bottom) / 2;
  EXPECT_EQ(ColourOf(Composition(px, py)),
            PictureColour(launcher.Picture(SkinPicture::BrowserPlaceholder), placeholder, px, py));
  // Once complete, the page's snapshot takes the browser area.
  ASSERT_TRUE(StandIn::CompleteNavigation());
  launcher.RedrawOnWindow();
  EXPECT_EQ(ColourOf(Composition(px, py)), StandIn::Current().pageColor);
  EXPECT_EQ(ColourOf(Composition(r.webBrowser.left + 1, r.webBrowser.top + 1)),
            StandIn::Current().pageColor);
  // The browser's host window sits on the browser area of the window.
  RECT host;
  GetWindowRect(browser.HostWindow(), &host);
  EXPECT_EQ(host.left - rect.left, r.webBrowser.left);
  EXPECT_EQ(host.top - rect.top, r.webBrowser.top);
  EXPECT_EQ(host.right - host.left, 500);
}

TEST_F(ShippedSkinWindowTest, TheBrowserFollowsTheWindowWhenItMoves) {
  ASSERT_TRUE(launcher.SwitchToMainSkin());
  RECT before;
  GetWindowRect(window, &before);
  SetWindowPos(window, nullptr, before.left - 30, before.top - 20, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  Pump();
  RECT after, host;
  GetWindowRect(window, &after);
  GetWindowRect(browser.HostWindow(), &host);
  EXPECT_EQ(host.left - after.left, launcher.Rects().webBrowser.left);
  EXPECT_EQ(host.top - after.top, launcher.Rects().webBrowser.top);
}

TEST_F(ShippedSkinWindowTest, StatusLineEntriesComeFromTheStringTable) {
  ASSERT_TRUE(config.LoadStringsText(kStrings, std::strlen(kStrings)));
  launcher.SetProgress(0.425f);
  ASSERT_TRUE(ShowUpdateProgressText(config, launcher));
  EXPECT_EQ(launcher.MessageText(), L"Updating 42%");
  ASSERT_TRUE(ShowLoadingError(config, launcher, 7));
  EXPECT_EQ(launcher.MessageText(), L"Error 7");
  EXPECT_FALSE(SetMessageById(config, launcher, "no_such_text"));
  EXPECT_EQ(launcher.MessageText(), L"Error 7");
  ASSERT_TRUE(SetMessageById(config, launcher, "please_login"));
  EXPECT_EQ(launcher.MessageText(), L"Please log in");
}

TEST_F(ShippedSkinWindowTest, MessageEntriesKeepTheirColoursAndUrl) {
  ConfigMgr messages;
  ASSERT_TRUE(messages.LoadConfigText(kMessages, std::strlen(kMessages)));
  ASSERT_TRUE(messages.LoadStringsText(kStrings, std::strlen(kStrings)));
  MessageStyle entry;
  ASSERT_TRUE(LookUpMessageStyle(messages, "please_login", &entry));
  EXPECT_EQ(entry.text, L"Please log in");
  EXPECT_EQ(entry.color, 0x0000FFu);
  EXPECT_EQ(entry.overColor, 0x00FF00u);
  EXPECT_TRUE(entry.clickToOpenUrl);
  EXPECT_FALSE(entry.clickToReboot);
  EXPECT_EQ(entry.url, L"http://127.0.0.1/help");
}

TEST_F(ShippedSkinWindowTest, WithoutTheExitTextsTheQuestionIsNotAsked) {
  EXPECT_EQ(host.ConfirmExit(window), ExitAnswer::NoText);
}

TEST_F(ShippedSkinWindowTest, VisibleWhenReadyLeavesTheBrowserHiddenAtTheSwitch) {
  WindowSettings settings = WindowSettingsFrom(config, false);
  settings.browserVisibleWhenReady = true;
  launcher.SetSettings(settings);
  ASSERT_TRUE(launcher.SwitchToMainSkin());
  EXPECT_TRUE(launcher.IsBrowserShown());
  EXPECT_FALSE(IsWindowVisible(browser.HostWindow()));
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

TEST_F(ShippedSkinWindowTest, TheEmbeddedConfigurationPlacesEveryControlInsideTheWindow) {
  ConfigMgr embedded;
  ASSERT_TRUE(embedded.LoadConfig(GetModuleHandleW(nullptr)));
  for (bool main : {false, true}) {
    SCOPED_TRACE(main ? "main skin" : "small skin");
    if (main) launcher.SwitchToMainSkin();
    WindowRects rects;
    ASSERT_TRUE(ComputeWindowRects(embedded, launcher, &rects));
    SIZE background = BitmapSize(launcher.CurrentBackground());
    EXPECT_EQ(rects.window.right, background.cx);
    EXPECT_EQ(rects.window.bottom, background.cy);
    EXPECT_TRUE(Inside(rects.progress, rects.window));
    EXPECT_TRUE(Inside(rects.message, rects.window));
    EXPECT_TRUE(Inside(rects.buttons[0], rects.window));
    if (main) {
      EXPECT_TRUE(Inside(rects.subProgress, rects.window));
      EXPECT_TRUE(Inside(rects.webBrowser, rects.window));
      EXPECT_TRUE(Inside(rects.loadingWebBrowser, rects.webBrowser));
      for (int i = 1; i < kButtonCount; ++i) EXPECT_TRUE(Inside(rects.buttons[i], rects.window)) << i;
    }
  }
}

}  // namespace

// The shipped layout's browser area, centred on the window: it lies partly
// outside the small skin, and the main skin is wider than the small one.
TEST_F(ShippedSkinWindowTest, AfterTheSwitchTheHostCoversTheBrowserAreaOfTheMovedWindow) {
  std::string text(kConfig);
  size_t begin = text.find("<WebBrowser ");
  size_t end = text.find("/>", begin) + 2;
  text.replace(begin, end - begin,
               "<WebBrowser Point=\"TopCenter\" RelateTo=\"Parent\" RelatePoint=\"TopCenter\""
               " X=\"110\" Y=\"121\" W=\"560\" H=\"378\" VisibleWhenReady=\"true\"/>");
  browser.Destroy();
  launcher.FreeSkin();
  ASSERT_TRUE(config.LoadConfigText(text.c_str(), text.size()));
  launcher.SetSettings(WindowSettingsFrom(config, false));
  ASSERT_TRUE(launcher.SetUpSkin(source));
  const RECT& page = launcher.Rects().webBrowser;
  ASSERT_TRUE(browser.Create(GetModuleHandleW(nullptr), window, page.left, page.top,
                             page.right - page.left, page.bottom - page.top));
  ASSERT_TRUE(browser.Navigate(L"http://127.0.0.1/login"));
  Pump();
  RECT small;
  GetWindowRect(window, &small);
  ASSERT_TRUE(launcher.SwitchToMainSkin());
  Pump();
  RECT main, host;
  GetWindowRect(window, &main);
  ASSERT_NE(main.left, small.left);
  ASSERT_NE(main.right - main.left, small.right - small.left);
  GetWindowRect(browser.HostWindow(), &host);
  const RECT& r = launcher.Rects().webBrowser;
  EXPECT_EQ(host.left, main.left + r.left);
  EXPECT_EQ(host.top, main.top + r.top);
  EXPECT_EQ(host.right, main.left + r.right);
  EXPECT_EQ(host.bottom, main.top + r.bottom);
  EXPECT_EQ(host.right - host.left, 560);
  EXPECT_EQ(host.bottom - host.top, 378);
  EXPECT_EQ(StandIn::Current().width, 560);
  EXPECT_EQ(StandIn::Current().height, 378);
  RECT view;
  GetWindowRect(StandIn::Current().viewWindow, &view);
  EXPECT_TRUE(EqualRect(&view, &host));
}
