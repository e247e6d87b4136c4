#include "ArchiveEntryName.h"

namespace {
bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// A component of dots and blanks only resolves to "." or "..".
bool IsDotsOnly(const wchar_t* begin, const wchar_t* end) {
  for (const wchar_t* p = begin; p != end; ++p)
    if (*p != L'.' && *p != L' ') return false;
  return true;
}

// Windows attribute values, spelled out so this unit needs no system header.
const uint32_t kReadOnly = 0x1;
const uint32_t kHidden = 0x2;
const uint32_t kSystem = 0x4;
const uint32_t kArchive = 0x20;
const uint32_t kNormal = 0x80;
const uint32_t kTemporary = 0x100;
const uint32_t kNotContentIndexed = 0x2000;
}  // namespace

namespace ArchiveEntryName {
bool IsSafe(const wchar_t* name) {
  if (name == nullptr || *name == 0 || IsSeparator(*name)) return false;
  const wchar_t* start = name;
  for (const wchar_t* p = name;; ++p) {
    wchar_t c = *p;
    if (c == L':' || (c != 0 && c < 32)) return false;
    if (c == 0 || IsSeparator(c)) {
      if (p == start || IsDotsOnly(start, p)) return false;
      if (c == 0) return true;
      start = p + 1;
    }
  }
}

uint32_t SettableAttributes(uint32_t stored) {
  return stored &
         (kReadOnly | kHidden | kSystem | kArchive | kNormal | kTemporary | kNotContentIndexed);
}
}  // namespace ArchiveEntryName
