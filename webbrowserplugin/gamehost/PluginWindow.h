// Window subclassing and message routing of the Netscape-API plug-in
// instance: the plug-in window's messages go to the game host and the game
// through a replaced window procedure. One object per instance.
#pragma once

#include <windows.h>

#include "MessageHook.h"

class GameLoader;
class KeyRouting;

class PluginWindow : public IInputTarget {
 public:
  PluginWindow(GameLoader& loader, KeyRouting& keys);
  ~PluginWindow();

  // Subclasses window and ties it to this object; re-running it with the same
  // window refreshes the tie. False for a null window.
  bool AttachWindow(HWND window);
  // Puts the replaced window procedure back and forgets the window.
  void DetachWindow();

  HWND GetWindow() const { return window_; }
  bool IsSubclassed() const { return subclassed_; }

  // Routing of one message of the plug-in window.
  LRESULT HandleWindowMessage(UINT message, HWND window, WPARAM wParam, LPARAM lParam);

  // IInputTarget
  KeyRouting& GetKeyRouting() override;
  HWND GetInputWindow() override;
  LRESULT HandleInterceptedMessage(HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam) override;

  static LRESULT CALLBACK PluginWindowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam);

 private:
  PluginWindow(const PluginWindow&) = delete;
  PluginWindow& operator=(const PluginWindow&) = delete;

  GameLoader& loader_;
  KeyRouting& keys_;
  HWND window_;
  WNDPROC previousWndProc_;
  bool subclassed_;
  bool subclassedUnicode_;
};
