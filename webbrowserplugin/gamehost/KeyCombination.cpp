#include "KeyCombination.h"

bool KeyCombinationLess::operator()(const KeyCombination& a, const KeyCombination& b) const {
  if (a.virtualKey != b.virtualKey) return a.virtualKey < b.virtualKey;
  if (a.ctrl != b.ctrl) return !a.ctrl;
  if (a.alt != b.alt) return !a.alt;
  if (a.shift != b.shift) return !a.shift;
  return false;
}
