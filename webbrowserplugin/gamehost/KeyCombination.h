// A virtual key with the state of the three modifier keys, and the order the
// pass and intercept key sets keep.
#pragma once

#include <cstdint>

struct KeyCombination {
  uint32_t virtualKey;
  bool ctrl;
  bool alt;
  bool shift;
};

// By virtual key (unsigned), then ctrl, alt, shift, false before true.
struct KeyCombinationLess {
  bool operator()(const KeyCombination& a, const KeyCombination& b) const;
};
