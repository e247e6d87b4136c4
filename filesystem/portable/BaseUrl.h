// One download base address from the update server's answer: download
// package names are appended to the URL; mirrors are told apart by the flag.
#pragma once

#include <string>

namespace FileSystem {

struct BaseUrl {
  std::string url;
  bool isMirror = false;
};

}  // namespace FileSystem
