#include "Wildcard.h"

namespace {

// Characters from 256 up compare exactly.
wchar_t Fold(wchar_t c) {
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - L'a' + L'A');
  if (c == L'/') return L'\\';
  return c;
}

bool MatchesOne(wchar_t pattern, wchar_t text) {
  if (pattern == L'?') return text != L'.';
  return Fold(pattern) == Fold(text);
}

}  // namespace

bool MatchWildcard(const wchar_t* text, const wchar_t* pattern) {
  if (text == nullptr || pattern == nullptr) return false;
  // Only the last '*' is backtracked to: the run it matches grows by one
  // character each time the rest fails.
  const wchar_t* afterStar = nullptr;
  const wchar_t* starText = nullptr;
  while (*text != 0) {
    if (*pattern == L'*') {
      while (*pattern == L'*') ++pattern;
      if (*pattern == 0) return true;
      afterStar = pattern;
      starText = text;
    } else if (*pattern != 0 && MatchesOne(*pattern, *text)) {
      ++pattern;
      ++text;
    } else if (afterStar != nullptr) {
      text = ++starText;
      pattern = afterStar;
    } else {
      return false;
    }
  }
  while (*pattern == L'*') ++pattern;
  return *pattern == 0;
}
