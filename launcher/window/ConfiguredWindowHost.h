// The launcher's answers to its window's questions from the configuration
// and string table: the layout pass, the exit question, the link buttons'
// URLs and the message's URL. The restart is the owner's (GameLoader's).
#pragma once

#include "LauncherWindowHost.h"

class ConfigMgr;
class LauncherWindow;

class ConfiguredWindowHost : public ILauncherWindowHost {
 public:
  ConfiguredWindowHost(const ConfigMgr& config, LauncherWindow& window)
      : config(config), window(window) {}

  bool Layout() override;
  // "sure_to_exit_title" (looked up first) and "sure_to_exit" in a message
  // box with OK and Cancel.
  ExitAnswer ConfirmExit(HWND owner) override;
  // The Url setting of the link button (0 government, 1 BBS, 2 charge,
  // 3 custom service) through OpenLinkUrl.
  void OpenLink(int linkIndex) override;
  void OpenMessageUrl(const std::wstring& url) override;

 protected:
  const ConfigMgr& config;
  LauncherWindow& window;
};
