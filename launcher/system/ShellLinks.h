// Shell links (".lnk" files) through the shell's link object, and the chain
// of folders they go into. Paths are UTF-16.
#pragma once

#include <string>

// Makes one link file at linkPath pointing at target. An existing file at
// linkPath is deleted first, so a failed save leaves no stale link behind.
// Empty or null arguments, description, working folder and icon leave those
// properties unset.
bool CreateShortcut(const wchar_t* target, const wchar_t* arguments, const wchar_t* description,
                    const wchar_t* workingFolder, const wchar_t* iconFile,
                    const wchar_t* linkPath);

// Creates every folder of path, the last one included; existing folders
// are fine. False only for a null path.
bool CreateFolderChain(const wchar_t* path);

// What one placed link holds besides its file name.
struct ShortcutValues {
  std::wstring target;
  std::wstring arguments;
  std::wstring description;
  std::wstring workingFolder;
  std::wstring iconFile;
};

// folder, a '\' unless it ends in '\' or '/', then name.
std::wstring JoinLinkPath(const std::wstring& folder, const std::wstring& name);

// Places linkFileName on the user's desktop; false when the shell has no
// desktop folder or the link cannot be made.
bool PlaceShortcutOnDesktop(const std::wstring& linkFileName, const ShortcutValues& values);

// Places linkFileName in the start menu's programs folder below the folder
// named by the string-table text start_menu_dir_name.
bool PlaceShortcutInStartMenu(const std::wstring& linkFileName, const ShortcutValues& values);

// The launcher's own links, made once per user: testAndSetRunState records
// the one-time event "CreateShortCuts" and answers whether it was recorded
// before. Always true.
typedef bool (*RunStateGate)(const char* name);
bool CreateUpdaterShortcuts(RunStateGate testAndSetRunState);
