// The phases' face on the skinned layered launcher window: the skin
// pictures and control layout of the configuration, its string table's
// message styles, and the window's answers to its owner (layout, restart,
// exit question, links).
#pragma once

#include <windows.h>

#include "AjpgPictureSource.h"
#include "ConfigMgr.h"
#include "ILoaderView.h"
#include "LauncherWindow.h"
#include "ConfiguredWindowHost.h"

class GameLoader;
class WebBrowser;

class SkinnedLoaderView : public ILoaderView {
 public:
  SkinnedLoaderView(const ConfigMgr* config, GameLoader* loader)
      : config_(config), host_(*config, window_, loader) {}
  void Attach(HINSTANCE instance, HWND window, WebBrowser* browser, bool relogin);

  bool Prepare() override;
  void Show() override;
  void SetMessage(const char* id, int value) override;
  void SetProgress(float progress) override { window_.SetProgress(progress); }
  void SetSubProgress(float progress) override { window_.SetSubProgress(progress); }
  void SetCloseEnabled(bool enabled) override;
  void SwitchToMainSkin() override { window_.SwitchToMainSkin(); }
  void InvalidateAll() override;
  void EndLayered() override;
  void DestroyUI() override { window_.FreeSkin(); }
  bool BrowserArea(int* left, int* top, int* width, int* height) override;

  LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return window_.LoaderWindowProc(window, message, wParam, lParam);
  }

 private:
  // The configuration's answers to the window; a click to restart goes to
  // the loader.
  class Host : public ConfiguredWindowHost {
   public:
    Host(const ConfigMgr& config, LauncherWindow& window, GameLoader* loader)
        : ConfiguredWindowHost(config, window), loader_(loader) {}
    void RestartUpdater() override;

   private:
    GameLoader* loader_;
  };

  const ConfigMgr* config_;
  HINSTANCE instance_ = nullptr;
  HWND hwnd_ = nullptr;
  WebBrowser* browser_ = nullptr;
  bool relogin_ = false;
  AjpgPictureSource pictures_;
  LauncherWindow window_;
  Host host_;
};
