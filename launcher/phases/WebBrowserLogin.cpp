#include "WebBrowserLogin.h"

bool WebBrowserLogin::Create(int left, int top, int width, int height) {
  bool created = browser_->Create(instance_, owner_, left, top, width, height);
  // The page gets neither a 3-D border nor scroll bars.
  browser_->SetShowBorder(false);
  browser_->SetShowScrollBars(false);
  return created;
}

std::wstring WebBrowserLogin::CallScript(const wchar_t* name) {
  browser_->ClearScriptResult();
  if (!browser_->HasControl()) return std::wstring();
  browser_->CallScript(name);
  return browser_->ScriptResult();
}

bool WebBrowserLogin::IsHostVisible() {
  HWND host = browser_->HostWindow();
  return host != nullptr && IsWindowVisible(host);
}

void WebBrowserLogin::ShowHost(bool show) {
  HWND host = browser_->HostWindow();
  if (host != nullptr) ShowWindow(host, show ? SW_SHOW : SW_HIDE);
}
