#include "store/Directories.h"

#include <io.h>
#include <windows.h>

#include <string>

namespace FileSystem {

namespace {

bool CreateChain(const char* path, bool last) {
  if (path == nullptr) return false;
  const std::string text = path;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' || text[i] == '/') {
      if (i > 0) CreateDirectoryA(text.substr(0, i).c_str(), nullptr);
    }
  }
  if (last && !text.empty()) CreateDirectoryA(text.c_str(), nullptr);
  return true;
}

}  // namespace

bool CreateDirectories(const char* path) { return CreateChain(path, true); }

bool CreateParentDirectories(const char* path) { return CreateChain(path, false); }

bool FileExists(const std::string& path) { return _access(path.c_str(), 0) == 0; }

}  // namespace FileSystem
