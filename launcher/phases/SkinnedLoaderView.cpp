#include "SkinnedLoaderView.h"

#include "GameLoader.h"
#include "WindowLayout.h"

void SkinnedLoaderView::Attach(HINSTANCE instance, HWND window, WebBrowser* browser, bool relogin) {
  instance_ = instance;
  hwnd_ = window;
  browser_ = browser;
  relogin_ = relogin;
}

bool SkinnedLoaderView::Prepare() {
  window_.Attach(instance_, hwnd_, &host_, browser_);
  window_.SetSettings(WindowSettingsFrom(*config_, relogin_));
  return window_.SetUpSkin(pictures_);
}

void SkinnedLoaderView::Show() {
  window_.SetLoading(true);
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
  window_.RedrawOnWindow();
}

void SkinnedLoaderView::SetMessage(const char* id, int value) {
  MessageStyle style;
  if (!LookUpMessageStyle(*config_, id, &style)) style.text = std::wstring(id, id + strlen(id));
  window_.ShowFormattedMessage(style, value);
}

void SkinnedLoaderView::SetCloseEnabled(bool enabled) {
  window_.GetButton(ButtonId::Close).disabled = !enabled;
  window_.RedrawButton(ButtonId::Close);
}

void SkinnedLoaderView::InvalidateAll() {
  InvalidateRect(hwnd_, nullptr, FALSE);
  window_.RedrawOnWindow();
}

void SkinnedLoaderView::EndLayered() {
  window_.SetLoading(false);
  SetWindowLongW(hwnd_, GWL_EXSTYLE, 0);
}

bool SkinnedLoaderView::BrowserArea(int* left, int* top, int* width, int* height) {
  const RECT& page = window_.Rects().webBrowser;
  if (page.right <= page.left || page.bottom <= page.top) return false;
  *left = page.left;
  *top = page.top;
  *width = page.right - page.left;
  *height = page.bottom - page.top;
  return true;
}

void SkinnedLoaderView::Host::RestartUpdater() {
  if (loader_ != nullptr) loader_->RestartUpdater();
}
