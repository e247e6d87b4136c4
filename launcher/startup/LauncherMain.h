// The launcher program's run: switches, configuration, the chosen mode,
// the move into the run folder, the loading loop that drives the loader's
// phases and the game's run loop.
#pragma once

#include <windows.h>

#include <string>

#include "ILoginBrowser.h"

struct LauncherOptions {
  // Where the settings are read; empty: "velmor.cfg" beside the program.
  std::string settingsPath;
  // The login page's browser; null: none.
  ILoginBrowser* browser = nullptr;
};

int LauncherMain(HINSTANCE instance, const wchar_t* commandLine,
                 const LauncherOptions& options = LauncherOptions());

// The window class of the main window and the window itself (hidden).
ATOM RegisterLoaderWindowClass(HINSTANCE instance);
bool CreateLoaderWindow(HINSTANCE instance, const wchar_t* title);
HWND LoaderWindowHandle();
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
