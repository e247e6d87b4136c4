#include "LauncherWindow.h"

#include "MessageFormat.h"
#include "SkinPictureSource.h"
#include "WebBrowser.h"

namespace {

struct ButtonPictures {
  int normal, over, down, disabled;
};

// Small-skin pictures; the main skin changes only Close's.
const ButtonPictures kSmallSkinButtons[kButtonCount] = {
    {180, 183, 182, 181}, {140, 142, 141, 0}, {176, 178, 177, 0},
    {167, 169, 168, 0},   {170, 172, 171, 0}, {173, 175, 174, 0}};
const ButtonPictures kMainSkinClose = {137, 139, 138, 152};

const size_t kMessageLimit = 2047;
const UINT_PTR kPresentTimerId = 0x7601;
const DWORD kFramePeriodMs = 16;

int Width(const RECT& rect) { return rect.right - rect.left; }
int Height(const RECT& rect) { return rect.bottom - rect.top; }

bool Contains(const RECT& rect, int x, int y) {
  return rect.left <= x && x < rect.right && rect.top <= y && y < rect.bottom;
}

float Clamped(float value) {
  if (!(value >= 0.0f)) return 0.0f;  // also NaN
  return value > 1.0f ? 1.0f : value;
}

int BarWidth(const RECT& rect, float value) {
  return static_cast<int>(static_cast<float>(Width(rect)) * value);
}

// Pixels of a 32-bit DIB section, row by row in picture order.
struct PixelRows {
  BYTE* bits = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;
  bool bottomUp = true;

  bool Read(HBITMAP bitmap) {
    DIBSECTION section;
    if (!bitmap || GetObjectW(bitmap, sizeof(section), &section) != sizeof(section)) return false;
    if (!section.dsBm.bmBits || section.dsBm.bmBitsPixel != 32) return false;
    bits = static_cast<BYTE*>(section.dsBm.bmBits);
    width = section.dsBm.bmWidth;
    height = section.dsBm.bmHeight;
    stride = section.dsBm.bmWidthBytes;
    bottomUp = section.dsBmih.biHeight > 0;
    return width > 0 && height > 0;
  }
  BYTE* Row(int y) const { return bits + static_cast<size_t>(bottomUp ? height - 1 - y : y) * stride; }
};

// A memory DC that deletes itself.
class MemoryDc {
 public:
  explicit MemoryDc(HDC compatible) : dc(CreateCompatibleDC(compatible)) {}
  ~MemoryDc() {
    if (dc) DeleteDC(dc);
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  HDC get() const { return dc; }

 private:
  HDC dc;
};

void Blit(HDC destination, HDC source, HBITMAP picture, int x, int y, int width, int height,
          int sourceX, int sourceY) {
  if (!picture || width <= 0 || height <= 0) return;
  HGDIOBJ old = SelectObject(source, picture);
  BitBlt(destination, x, y, width, height, source, sourceX, sourceY, SRCCOPY);
  SelectObject(source, old);
}

}  // namespace

bool CreateCompositionDib(HBITMAP bitmap, HWND window, HBITMAP* outBitmap, HDC* outDc,
                          HGDIOBJ* oldObject) {
  *outBitmap = nullptr;
  *outDc = nullptr;
  *oldObject = nullptr;
  SIZE size = BitmapSize(bitmap);
  if (size.cx <= 0 || size.cy <= 0) return false;
  HDC windowDc = GetDC(window);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = size.cx;
  info.bmiHeader.biHeight = size.cy;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(size.cx) * static_cast<DWORD>(size.cy) * 4;
  info.bmiHeader.biXPelsPerMeter = 2834;
  info.bmiHeader.biYPelsPerMeter = 2834;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memoryDc = section ? CreateCompatibleDC(windowDc) : nullptr;
  if (windowDc) ReleaseDC(window, windowDc);
  if (!section) return false;
  if (!memoryDc) {
    DeleteObject(section);
    return false;
  }
  *oldObject = SelectObject(memoryDc, section);
  *outBitmap = section;
  *outDc = memoryDc;
  return true;
}

LauncherWindow::~LauncherWindow() { FreeSkin(); }

void LauncherWindow::Attach(HINSTANCE instance, HWND window, ILauncherWindowHost* host,
                            WebBrowser* browser) {
  instanceHandle = instance;
  this->window = window;
  this->host = host;
  this->browser = browser;
}

bool LauncherWindow::SetUpSkin(ISkinPictureSource& source) {
  FreeSkin();
  pictureSource = &source;
  if (!skins.Load(source, instanceHandle, window)) {
    FreeSkin();
    return false;
  }
  for (int i = 0; i < kButtonCount; ++i) {
    const ButtonPictures& pictures = kSmallSkinButtons[i];
    if (!buttons[i].Load(source, instanceHandle, window, pictures.normal, pictures.over,
                         pictures.down, pictures.disabled)) {
      FreeSkin();
      return false;
    }
    buttons[i].visible = i == static_cast<int>(ButtonId::Close);
  }
  bool ok = CreateFonts() && CreateComposition(skins.Get(SkinPicture::SmallBackground)) &&
            (!host || host->Layout()) && ApplyLayeredStyle();
  if (!ok) FreeSkin();
  return ok;
}

void LauncherWindow::FreeSkin() {
  DeleteFonts();
  DeleteComposition();
  for (Button& button : buttons) button.FreeImages();
  skins.Free();
  message.text.clear();
}

bool LauncherWindow::CreateFonts() {
  DeleteFonts();
  messageFont = CreateFontW(14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, L"");
  if (!messageFont) return false;
  underlinedFont = CreateFontW(14, 0, 0, 0, FW_NORMAL, FALSE, TRUE, FALSE, 0, 0, 0, 0, 0, L"");
  if (!underlinedFont) {
    DeleteFonts();
    return false;
  }
  return true;
}

void LauncherWindow::DeleteFonts() {
  for (HFONT* font : {&messageFont, &underlinedFont}) {
    if (*font) DeleteObject(*font);
    *font = nullptr;
  }
}

bool LauncherWindow::CreateComposition(HBITMAP background) {
  DeleteComposition();
  return CreateCompositionDib(background, window, &compositionBitmap, &compositionDc,
                              &compositionOldBitmap);
}

void LauncherWindow::DeleteComposition() {
  if (compositionDc) {
    SelectObject(compositionDc, compositionOldBitmap);
    DeleteDC(compositionDc);
  }
  if (compositionBitmap) DeleteObject(compositionBitmap);
  compositionDc = nullptr;
  compositionBitmap = nullptr;
  compositionOldBitmap = nullptr;
}

bool LauncherWindow::ApplyLayeredStyle() {
  LONG_PTR extended = GetWindowLongPtrW(window, GWL_EXSTYLE);
  SetWindowLongPtrW(window, GWL_EXSTYLE, extended | WS_EX_LAYERED);
  SetWindowLongPtrW(window, GWL_STYLE, static_cast<LONG_PTR>(static_cast<LONG>(WS_POPUP | WS_MINIMIZEBOX)));
  int width = Width(rects.window);
  int height = Height(rects.window);
  int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  MoveWindow(window, x, y, width, height, TRUE);
  return true;
}

bool LauncherWindow::SwitchToMainSkin() {
  if (mainSkin) return true;
  mainSkin = true;
  CreateComposition(skins.Get(SkinPicture::MainBackground));
  Button& close = GetButton(ButtonId::Close);
  if (pictureSource)
    close.Load(*pictureSource, instanceHandle, window, kMainSkinClose.normal, kMainSkinClose.over,
               kMainSkinClose.down, kMainSkinClose.disabled);
  for (int i = 1; i < kButtonCount; ++i) buttons[i].visible = true;
  if (host) host->Layout();
  ApplyLayeredStyle();
  if (settings.pageEnabled) {
    browserShown = true;
    if (!settings.browserVisibleWhenReady && browser && browser->HostWindow())
      ShowWindow(browser->HostWindow(), SW_SHOW);
  }
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  RedrawOnWindow();
  if (browser)
    browser->SetRect(rects.webBrowser.left, rects.webBrowser.top, rects.webBrowser.right,
                     rects.webBrowser.bottom);
  return true;
}

void LauncherWindow::SetRects(const WindowRects& newRects) {
  rects = newRects;
  for (int i = 0; i < kButtonCount; ++i) buttons[i].rect = rects.buttons[i];
}

SIZE LauncherWindow::ButtonSize(ButtonId id) const {
  return BitmapSize(buttons[static_cast<int>(id)].normalImage);
}

HBITMAP LauncherWindow::CurrentBackground() const {
  return skins.Get(mainSkin ? SkinPicture::MainBackground : SkinPicture::SmallBackground);
}

HBITMAP LauncherWindow::CurrentProgressBar() const {
  return skins.Get(mainSkin ? SkinPicture::ProgressBar : SkinPicture::SmallProgressBar);
}

bool LauncherWindow::SubBarShown() const { return mainSkin && settings.subProgressVisible; }

void LauncherWindow::DrawBar(HDC sourceDc, HBITMAP picture, const RECT& rect, float value) {
  Blit(compositionDc, sourceDc, picture, rect.left, rect.top, BarWidth(rect, value), Height(rect),
       0, 0);
}

void LauncherWindow::DrawMessage(HDC dc) {
  int oldMode = GetBkMode(dc);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, messagePressed ? message.downColor
                                  : messageHover ? message.overColor : message.color);
  HGDIOBJ oldFont = SelectObject(dc, message.clickToReboot ? underlinedFont : messageFont);
  RECT rect = rects.message;
  DrawTextW(dc, message.text.c_str(), -1, &rect, DT_CENTER | DT_VCENTER);
  SelectObject(dc, oldFont);
  SetBkMode(dc, oldMode);
}

void LauncherWindow::Redraw(HDC dc) {
  if (!compositionDc) return;
  MemoryDc source(compositionDc);
  if (!source.get()) return;
  Blit(compositionDc, source.get(), CurrentBackground(), rects.window.left, rects.window.top,
       Width(rects.window), Height(rects.window), 0, 0);
  if (SubBarShown())
    DrawBar(source.get(), skins.Get(SkinPicture::SubProgressBar), rects.subProgress, subProgress);
  DrawBar(source.get(), CurrentProgressBar(), rects.progress, progress);
  for (const Button& button : buttons) button.Draw(nullptr, source.get(), compositionDc);
  DrawMessage(compositionDc);
  if (mainSkin && browserShown) {
    if (browser && browser->IsReady())
      browser->DrawTo(compositionDc);
    else
      Blit(compositionDc, source.get(), skins.Get(SkinPicture::BrowserPlaceholder),
           rects.loadingWebBrowser.left, rects.loadingWebBrowser.top,
           Width(rects.loadingWebBrowser), Height(rects.loadingWebBrowser), 0, 0);
  }
  PresentLayered(dc);
}

void LauncherWindow::RedrawOnWindow() {
  HDC dc = GetWindowDC(window);
  if (!dc) return;
  Redraw(dc);
  ReleaseDC(window, dc);
}

SIZE CopyBackgroundAlpha(HBITMAP backgroundBitmap, HBITMAP compositionBitmap) {
  SIZE walked = {0, 0};
  PixelRows background, composition;
  if (!background.Read(backgroundBitmap) || !composition.Read(compositionBitmap)) return walked;
  // Only the part both images have: a background that is not the
  // composition's size must not walk past either buffer.
  walked.cx = background.width < composition.width ? background.width : composition.width;
  walked.cy = background.height < composition.height ? background.height : composition.height;
  GdiFlush();
  for (int y = 0; y < walked.cy; ++y) {
    const BYTE* from = background.Row(y);
    BYTE* to = composition.Row(y);
    for (int x = 0; x < walked.cx; ++x) to[x * 4 + 3] = from[x * 4 + 3];
  }
  return walked;
}

bool LauncherWindow::PresentLayered(HDC dc) {
  lastPresentTick = GetTickCount();
  if (presentPending) {
    presentPending = false;
    KillTimer(window, kPresentTimerId);
  }
  // Without both images there is nothing sound to present.
  SIZE walked = CopyBackgroundAlpha(CurrentBackground(), compositionBitmap);
  if (walked.cx == 0 || walked.cy == 0) return true;
  RECT windowRect = {0, 0, 0, 0};
  GetWindowRect(window, &windowRect);
  POINT position = {windowRect.left, windowRect.top};
  SIZE size = {Width(windowRect), Height(windowRect)};
  POINT source = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  UpdateLayeredWindow(window, dc, &position, &size, compositionDc, &source, 0, &blend, ULW_ALPHA);
  return true;
}

void LauncherWindow::PresentWithWindowDc() {
  const DWORD since = GetTickCount() - lastPresentTick;
  if (since >= kFramePeriodMs || window == nullptr) {
    PresentPendingFrame();
    return;
  }
  if (presentPending) return;
  // Without a timer the frame goes out now rather than never.
  presentPending = SetTimer(window, kPresentTimerId, kFramePeriodMs - since, nullptr) != 0;
  if (!presentPending) PresentPendingFrame();
}

void LauncherWindow::SetLoading(bool value) {
  loading = value;
  if (!value && presentPending) PresentPendingFrame();
}

void LauncherWindow::PresentPendingFrame() {
  HDC dc = GetWindowDC(window);
  PresentLayered(dc);
  if (dc) ReleaseDC(window, dc);
}

void LauncherWindow::RestoreBackground(HDC sourceDc, const RECT& rect) {
  Blit(compositionDc, sourceDc, CurrentBackground(), rect.left, rect.top, Width(rect),
       Height(rect), rect.left, rect.top);
}

bool LauncherWindow::RedrawButton(ButtonId id) {
  const Button& button = buttons[static_cast<int>(id)];
  if (!button.visible) return true;
  if (!compositionDc) return false;
  MemoryDc source(compositionDc);
  if (!source.get()) return false;
  button.Draw(CurrentBackground(), source.get(), compositionDc);
  PresentWithWindowDc();
  return true;
}

void LauncherWindow::RedrawMessage() {
  if (!compositionDc) return;
  MemoryDc source(compositionDc);
  if (!source.get()) return;
  RestoreBackground(source.get(), rects.message);
  DrawMessage(compositionDc);
  PresentWithWindowDc();
}

bool LauncherWindow::RedrawBar(bool sub) {
  if (sub && !SubBarShown()) return true;
  if (!compositionDc) return false;
  MemoryDc source(compositionDc);
  if (!source.get()) return false;
  const RECT& rect = sub ? rects.subProgress : rects.progress;
  RestoreBackground(source.get(), rect);
  DrawBar(source.get(), sub ? skins.Get(SkinPicture::SubProgressBar) : CurrentProgressBar(), rect,
          sub ? subProgress : progress);
  PresentWithWindowDc();
  return true;
}

bool LauncherWindow::SetProgress(float value) {
  value = Clamped(value);
  bool changed = BarWidth(rects.progress, progress) != BarWidth(rects.progress, value);
  progress = value;
  if (changed) RedrawBar(false);
  return true;
}

bool LauncherWindow::SetSubProgress(float value) {
  value = Clamped(value);
  bool changed = BarWidth(rects.subProgress, subProgress) != BarWidth(rects.subProgress, value);
  subProgress = value;
  if (changed) RedrawBar(true);
  return true;
}

bool LauncherWindow::SetMessage(const MessageStyle& entry) {
  message = entry;
  RedrawMessage();
  return true;
}

bool LauncherWindow::ShowFormattedMessage(const MessageStyle& entry, int value) {
  std::wstring text = FormatWithInt(entry.text, value, kMessageLimit);
  if (text == message.text) return true;
  MessageStyle shown = entry;
  shown.text = text;
  return SetMessage(shown);
}

bool LauncherWindow::InMessageRect(int x, int y) const { return Contains(rects.message, x, y); }

void LauncherWindow::OnMouseMove(int x, int y) {
  for (int i = 0; i < kButtonCount; ++i) {
    bool hit = buttons[i].HitTest(x, y);
    if (hit != buttons[i].hover) {
      buttons[i].hover = hit;
      RedrawButton(static_cast<ButtonId>(i));
    }
  }
  bool inMessage = InMessageRect(x, y);
  if (inMessage != messageHover) {
    messageHover = inMessage;
    RedrawMessage();
  }
}

void LauncherWindow::OnButtonDown(int x, int y, LPARAM lParam) {
  bool anyPressed = false;
  for (int i = 0; i < kButtonCount; ++i) {
    bool hit = buttons[i].HitTest(x, y);
    if (hit != buttons[i].pressed) {
      buttons[i].pressed = hit;
      RedrawButton(static_cast<ButtonId>(i));
    }
    anyPressed = anyPressed || buttons[i].pressed;
  }
  bool inMessage = InMessageRect(x, y);
  if (inMessage != messagePressed) {
    messagePressed = inMessage;
    RedrawMessage();
  }
  if (!anyPressed && !messagePressed)
    SendMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, lParam);
  else
    SetCapture(window);
}

bool LauncherWindow::OnButtonUp(int x, int y) {
  Button& close = GetButton(ButtonId::Close);
  if (close.pressed) {
    if (!close.disabled && close.HitTest(x, y) && host &&
        host->ConfirmExit(window) == ExitAnswer::Confirmed) {
      DestroyWindow(window);
      return true;
    }
    close.pressed = false;
    RedrawButton(ButtonId::Close);
  }
  Button& minimize = GetButton(ButtonId::Minimize);
  if (minimize.pressed) {
    if (minimize.HitTest(x, y)) ShowWindow(window, SW_MINIMIZE);
    minimize.pressed = false;
    RedrawButton(ButtonId::Minimize);
  }
  for (int link = 0; link < 4; ++link) {
    ButtonId id = static_cast<ButtonId>(static_cast<int>(ButtonId::Government) + link);
    Button& button = GetButton(id);
    if (!button.pressed) continue;
    button.pressed = false;
    RedrawButton(id);
    if (button.HitTest(x, y) && host) host->OpenLink(link);
  }
  if (messagePressed) {
    if (InMessageRect(x, y)) {
      if (message.clickToReboot) {
        // The restart replaces this launcher; nothing of this window is
        // drawn again.
        messagePressed = false;
        ReleaseCapture();
        if (host) host->RestartUpdater();
        return true;
      }
      if (message.clickToOpenUrl && host) host->OpenMessageUrl(message.url);
    }
    messagePressed = false;
    RedrawMessage();
  }
  ReleaseCapture();
  return false;
}

void LauncherWindow::OnCaptureChanged() {
  for (int i = 0; i < kButtonCount; ++i) {
    if (!buttons[i].pressed) continue;
    buttons[i].pressed = false;
    RedrawButton(static_cast<ButtonId>(i));
  }
  if (messagePressed) {
    messagePressed = false;
    RedrawMessage();
  }
}

LRESULT LauncherWindow::LoaderWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!loading) return DefWindowProcW(hwnd, msg, wParam, lParam);
  int x = static_cast<short>(LOWORD(lParam));
  int y = static_cast<short>(HIWORD(lParam));
  switch (msg) {
    case WM_DESTROY:
      PostQuitMessage(0);
      break;
    case WM_MOVE:
      if (browser) browser->Move(rects.webBrowser.left, rects.webBrowser.top);
      break;
    case WM_ACTIVATE:
    case WM_SETFOCUS:
    case WM_ACTIVATEAPP:
      RedrawOnWindow();
      break;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      if (dc) Redraw(dc);
      EndPaint(hwnd, &paint);
      break;
    }
    case WM_CLOSE:
      if (host && host->ConfirmExit(hwnd) == ExitAnswer::Cancelled) return 0;
      break;
    case WM_ERASEBKGND:
      return 0;
    case WM_TIMER:
      if (wParam != kPresentTimerId) break;
      if (presentPending) PresentPendingFrame();
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(x, y);
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      OnButtonDown(x, y, lParam);
      break;
    case WM_LBUTTONUP:
      if (OnButtonUp(x, y)) return 0;
      break;
    case WM_CAPTURECHANGED:
      OnCaptureChanged();
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}
