// The browser of a launcher that has none: nothing is shown and no login is
// ever detected, so only a command line with the login marker goes on.
#pragma once

#include "ILoginBrowser.h"

class NoLoginBrowser : public ILoginBrowser {
 public:
  bool Create(int, int, int, int) override { return false; }
  void Destroy() override {}
  bool Exists() override { return false; }
  void Navigate(const std::wstring&) override {}
  bool IsReady() override { return false; }
  std::wstring CallScript(const wchar_t*) override { return std::wstring(); }
  bool IsHostVisible() override { return false; }
  void ShowHost(bool) override {}
};
