// What the launcher window takes from the configuration: the control
// rectangles of the current skin, the settings it reads, and status-line
// entries of the string table.
#pragma once

#include "LauncherWindow.h"

class ConfigMgr;

// Places every control of the window's current skin (main or small) by its
// layout record, with the sizes of the window's pictures.
bool ComputeWindowRects(const ConfigMgr& config, const LauncherWindow& window, WindowRects* out);
// ComputeWindowRects, then LauncherWindow::SetRects.
bool LayoutWindow(const ConfigMgr& config, LauncherWindow& window);

WindowSettings WindowSettingsFrom(const ConfigMgr& config, bool relogin);

// The entry of a string-table ID; false (and *out unchanged) for an unknown ID.
bool LookUpMessageStyle(const ConfigMgr& config, const char* id, MessageStyle* out);

// The window's status line from string-table IDs; false (nothing changes)
// for an unknown ID.
bool SetMessageById(const ConfigMgr& config, LauncherWindow& window, const char* id);
// "update_resource_progress" with the whole percentage of the main bar.
bool ShowUpdateProgressText(const ConfigMgr& config, LauncherWindow& window);
// "loading_game_error" with the game's error code.
bool ShowLoadingError(const ConfigMgr& config, LauncherWindow& window, int code);
