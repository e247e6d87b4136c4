// The embedded browser as the login phase uses it.
#pragma once

#include <string>

class ILoginBrowser {
 public:
  virtual ~ILoginBrowser() {}
  // Creates the browser in the given area of the main window (borderless,
  // without scroll bars, its host window hidden); false when there is none.
  virtual bool Create(int left, int top, int width, int height) = 0;
  virtual void Destroy() = 0;
  virtual bool Exists() = 0;
  virtual void Navigate(const std::wstring& url) = 0;
  virtual bool IsReady() = 0;
  // Calls a global function of the page without arguments; its result as
  // text, empty when there is none.
  virtual std::wstring CallScript(const wchar_t* name) = 0;
  virtual bool IsHostVisible() = 0;
  virtual void ShowHost(bool show) = 0;
};
