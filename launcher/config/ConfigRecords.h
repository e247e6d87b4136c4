// Plain records of the launcher configuration.
#pragma once

#include <cstdint>
#include <string>

// Where a control sits: its Point placed at RelatePoint of RelateTo, moved by
// X and Y.
struct LayoutRecord {
  std::string point;
  std::string relateTo;
  std::string relatePoint;
  int32_t x = 0;
  int32_t y = 0;
};

struct UpdateServerEntry {
  std::string host;
  int32_t port = 0;
};

struct UpdateFileEntry {
  std::string path;
  bool systemDll = false;
};

// A file link (target = File, second = Param) or an Internet link
// (target = Url, second = IconFile).
struct ShortcutRecord {
  std::string target;
  std::string second;
  std::string fileStringId;
  std::string descStringId;
  bool createOnDeskTop = false;
  bool createOnStartMenu = false;
  bool enable = false;
};

// The three values of RunPlace.
enum RunPlace : int32_t {
  kRunPlaceLocalAppData = 0,
  kRunPlaceInternetCache = 1,
  kRunPlaceCurrentDirectory = 2,
};

// The three values of the Messages element's Align.
enum MessageAlign : int32_t {
  kAlignLeft = 0,
  kAlignCenter = 1,
  kAlignRight = 2,
};
