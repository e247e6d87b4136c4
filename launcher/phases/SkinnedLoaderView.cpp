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
  window_.Attach(instance_, hwnd_, this, browser_);
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

bool SkinnedLoaderView::Layout() { return LayoutWindow(*config_, window_); }

void SkinnedLoaderView::RestartUpdater() {
  if (loader_ != nullptr) loader_->RestartUpdater();
}

ExitAnswer SkinnedLoaderView::ConfirmExit(HWND window) {
  std::wstring body, caption;
  if (!config_->GetString("sure_to_exit", &body) || body.empty()) return ExitAnswer::NoText;
  config_->GetString("game_updater_title", &caption);
  return AskExitConfirmation(window, body.c_str(), caption.c_str());
}

void SkinnedLoaderView::OpenLink(int linkIndex) {
  const std::string* urls[] = {&config_->governmentButtonUrl, &config_->bbsButtonUrl,
                               &config_->chargeButtonUrl, &config_->customServiceButtonUrl};
  if (linkIndex >= 0 && linkIndex < 4) OpenLinkUrl(urls[linkIndex]->c_str());
}

void SkinnedLoaderView::OpenMessageUrl(const std::wstring& url) { OpenMessageUrlInShell(url); }
