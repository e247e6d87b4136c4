// One text of the launcher's string table together with the way the window
// draws it: colours for its normal, hover and pressed states and what a
// click on it does.
#pragma once

#include <cstdint>
#include <string>

struct MessageEntry {
  std::string text;  // UTF-8
  std::string url;   // UTF-8
  uint32_t color = kWhite;      // 0x00BBGGRR, red in the low byte
  uint32_t overColor = kWhite;
  uint32_t downColor = kWhite;
  bool clickToReboot = false;
  bool clickToOpenUrl = false;

  static constexpr uint32_t kWhite = 0xFFFFFF;
};
