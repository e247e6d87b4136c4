// The login page in the launcher's embedded browser.
#pragma once

#include <windows.h>

#include "ILoginBrowser.h"
#include "WebBrowser.h"

class WebBrowserLogin : public ILoginBrowser {
 public:
  explicit WebBrowserLogin(WebBrowser* browser) : browser_(browser) {}
  void SetOwner(HINSTANCE instance, HWND owner) {
    instance_ = instance;
    owner_ = owner;
  }

  bool Create(int left, int top, int width, int height) override;
  void Destroy() override { browser_->Destroy(); }
  bool Exists() override { return browser_->HasControl(); }
  void Navigate(const std::wstring& url) override { browser_->Navigate(url.c_str()); }
  bool IsReady() override { return browser_->IsReady(); }
  std::wstring CallScript(const wchar_t* name) override;
  bool IsHostVisible() override;
  void ShowHost(bool show) override;

 private:
  WebBrowser* browser_;
  HINSTANCE instance_ = nullptr;
  HWND owner_ = nullptr;
};
