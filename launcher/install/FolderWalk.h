#pragma once

#include <string>
#include <vector>

// The uninstaller's walks over a folder tree. Neither follows a reparse
// point (junction or symbolic link to a folder): one could lead outside the
// folder being removed, or back into it without end.

// Appends every file below folder, depth first in the order the system
// lists them, as full paths.
void ListFilesRecursive(const std::wstring& folder, std::vector<std::wstring>& list);

// Removes folder and every folder below it that holds no file; true when
// folder itself was empty (its empty subfolders are gone either way). A
// reparse point below it counts as content and is left alone.
bool RemoveEmptyFolders(const std::wstring& folder);

// folder with a closing '\' unless it already ends in '\' or '/'.
std::wstring WithTrailingSeparator(const std::wstring& folder);
