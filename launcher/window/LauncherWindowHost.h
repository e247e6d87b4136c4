// What the launcher window asks of its owner (the launcher's GameLoader):
// the layout pass, the restart of the launcher, the questions and the links
// that leave the window. Tests answer them without dialogs or browsers.
#pragma once

#include <windows.h>

#include <string>

enum class ExitAnswer { Confirmed, Cancelled, NoText };

class ILauncherWindowHost {
 public:
  virtual ~ILauncherWindowHost() = default;
  // Computes every control rectangle for the current skin and hands them to
  // the window (LauncherWindow::SetRects); false when it cannot.
  virtual bool Layout() = 0;
  // The message's "click to reboot" action.
  virtual void RestartUpdater() = 0;
  // Asks whether the launcher may close ("sure_to_exit"); NoText when the
  // string table has no text for the question.
  virtual ExitAnswer ConfirmExit(HWND window) = 0;
  // A link button's configured URL (ANSI), e.g. through OpenLinkUrl.
  virtual void OpenLink(int linkIndex) = 0;
  // The message's URL, e.g. through ShellExecuteW.
  virtual void OpenMessageUrl(const std::wstring& url) = 0;
};

// The default answers the launcher gives.
ExitAnswer AskExitConfirmation(HWND window, const wchar_t* body, const wchar_t* caption);
bool OpenLinkUrl(const char* url);
void OpenMessageUrlInShell(const std::wstring& url);
