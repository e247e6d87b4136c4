// Creating every folder of a path, and asking whether a path names anything.
#pragma once

#include <string>

namespace FileSystem {

// Creates every folder along path and the path itself; single steps that fail
// (existing folders, a drive name) are ignored. False only for null.
bool CreateDirectories(const char* path);
// The same without the last step: the folders of a file's path.
bool CreateParentDirectories(const char* path);
// A file or folder is there.
bool FileExists(const std::string& path);

}  // namespace FileSystem
