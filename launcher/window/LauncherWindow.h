// The skinned, per-pixel-alpha launcher window while the game is prepared:
// skin pictures and buttons, the off-screen composition image, progress bars,
// the status message with its colours and click actions, and the window
// procedure of the loading phase (hover, press, drag, close, minimise, links).
// Owned and driven by the launcher's GameLoader, on the UI thread only.
#pragma once

#include <windows.h>

#include <string>

#include "Button.h"
#include "LauncherWindowHost.h"
#include "SkinSet.h"

class WebBrowser;

enum class ButtonId { Close, Minimize, Government, Bbs, Charge, CustomService, Count };
constexpr int kButtonCount = static_cast<int>(ButtonId::Count);

// Control rectangles in window coordinates, right and bottom exclusive.
struct WindowRects {
  RECT window = {0, 0, 0, 0};
  RECT subProgress = {0, 0, 0, 0};
  RECT progress = {0, 0, 0, 0};
  RECT message = {0, 0, 0, 0};
  RECT webBrowser = {0, 0, 0, 0};
  RECT loadingWebBrowser = {0, 0, 0, 0};
  RECT buttons[kButtonCount] = {};
};

// One string-table entry as the status line shows it.
struct MessageStyle {
  std::wstring text;
  COLORREF color = 0;
  COLORREF overColor = 0;
  COLORREF downColor = 0;
  bool clickToReboot = false;
  bool clickToOpenUrl = false;
  std::wstring url;
};

// Configuration the window reads.
struct WindowSettings {
  bool subProgressVisible = true;  // SubProgress "Visible"
  bool pageEnabled = true;         // Login (or Relogin) "Enable" of this run
  bool browserVisibleWhenReady = false;  // WebBrowser "VisibleWhenReady"
};

class LauncherWindow {
 public:
  LauncherWindow() = default;
  ~LauncherWindow();

  LauncherWindow(const LauncherWindow&) = delete;
  LauncherWindow& operator=(const LauncherWindow&) = delete;

  // The main window (created by the start-up) and who answers the window's
  // questions. The browser may be null.
  void Attach(HINSTANCE instance, HWND window, ILauncherWindowHost* host, WebBrowser* browser);
  void SetSettings(const WindowSettings& settings) { this->settings = settings; }

  // Pictures, buttons (small skin), fonts, composition image, the host's
  // layout and the layered style. Tears the user interface down (FreeSkin)
  // and answers false on the first failure.
  bool SetUpSkin(ISkinPictureSource& source);
  // Frees fonts, composition image, button and skin pictures; empties the
  // message text.
  void FreeSkin();
  bool SwitchToMainSkin();
  bool ApplyLayeredStyle();

  void SetRects(const WindowRects& rects);
  const WindowRects& Rects() const { return rects; }

  // Whole window into the composition image, then presented.
  void Redraw(HDC dc);
  // Redraw with the window's own DC.
  void RedrawOnWindow();
  bool PresentLayered(HDC dc);
  bool RedrawButton(ButtonId id);
  void RedrawMessage();

  bool SetProgress(float value);
  bool SetSubProgress(float value);
  float Progress() const { return progress; }
  float SubProgress() const { return subProgress; }

  // Text, colours, click actions and URL together.
  bool SetMessage(const MessageStyle& entry);
  // The entry's text as a format with one int (%d, %i, %u with flags and
  // width; %% is a percent sign; any other conversion stays as written, so
  // a string table can never make it read arguments that are not there).
  // No redraw when the formatted text is what is shown already.
  bool ShowFormattedMessage(const MessageStyle& entry, int value);
  const std::wstring& MessageText() const { return message.text; }
  bool MessageHover() const { return messageHover; }
  bool MessagePressed() const { return messagePressed; }

  Button& GetButton(ButtonId id) { return buttons[static_cast<int>(id)]; }
  SIZE PictureSize(SkinPicture picture) const { return skins.Size(picture); }
  HBITMAP Picture(SkinPicture picture) const { return skins.Get(picture); }
  SIZE ButtonSize(ButtonId id) const;
  HBITMAP CurrentBackground() const;
  HBITMAP CurrentProgressBar() const;

  bool IsMainSkin() const { return mainSkin; }
  bool IsLoading() const { return loading; }
  // Leaving the loading phase presents a frame still waiting.
  void SetLoading(bool value);
  bool IsBrowserShown() const { return browserShown; }
  void SetBrowserShown(bool value) { browserShown = value; }
  HWND Window() const { return window; }

  // The composition image (32-bit bottom-up DIB section of the current
  // background's size), for tests and benchmarks.
  HBITMAP CompositionBitmap() const { return compositionBitmap; }
  HDC CompositionDc() const { return compositionDc; }

  // The window procedure of the loading phase; DefWindowProcW while not
  // loading.
  LRESULT LoaderWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  bool CreateFonts();
  void DeleteFonts();
  bool CreateComposition(HBITMAP background);
  void DeleteComposition();
  void DrawMessage(HDC dc);
  void DrawBar(HDC sourceDc, HBITMAP picture, const RECT& rect, float value);
  void RestoreBackground(HDC sourceDc, const RECT& rect);
  void PresentWithWindowDc();
  void PresentPendingFrame();
  bool RedrawBar(bool sub);
  bool SubBarShown() const;
  void OnMouseMove(int x, int y);
  void OnButtonDown(int x, int y, LPARAM lParam);
  bool OnButtonUp(int x, int y);
  void OnCaptureChanged();
  bool InMessageRect(int x, int y) const;

  HINSTANCE instanceHandle = nullptr;
  HWND window = nullptr;
  ILauncherWindowHost* host = nullptr;
  WebBrowser* browser = nullptr;
  WindowSettings settings;
  ISkinPictureSource* pictureSource = nullptr;
  SkinSet skins;
  Button buttons[kButtonCount];
  HBITMAP compositionBitmap = nullptr;
  HDC compositionDc = nullptr;
  HGDIOBJ compositionOldBitmap = nullptr;
  HFONT messageFont = nullptr;
  HFONT underlinedFont = nullptr;
  MessageStyle message;
  bool messageHover = false;
  bool messagePressed = false;
  float progress = 0.0f;
  float subProgress = 0.0f;
  bool mainSkin = false;
  bool loading = false;
  bool browserShown = false;
  WindowRects rects;
  // Partial redraws come faster than frames during an update (a bar, its
  // sub-bar and the message each pass), and each hands the whole window to
  // the layered window: they are presented at most once a frame, the last
  // one on a timer.
  DWORD lastPresentTick = 0;
  bool presentPending = false;
};

// Copies the background's alpha bytes into the composition image over the
// part both 32-bit DIB sections have; the size walked (0 x 0 when either is
// missing or not a 32-bit DIB section).
SIZE CopyBackgroundAlpha(HBITMAP background, HBITMAP composition);

// A 32-bit bottom-up DIB section of the bitmap's size and a memory DC that
// holds it (the previously selected object in *oldObject).
bool CreateCompositionDib(HBITMAP bitmap, HWND window, HBITMAP* outBitmap, HDC* outDc,
                          HGDIOBJ* oldObject);
