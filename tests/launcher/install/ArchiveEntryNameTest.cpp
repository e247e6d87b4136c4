#include <gtest/gtest.h>

#include "ArchiveEntryName.h"

struct NameCase {
  const wchar_t* name;
  bool safe;
};

TEST(ArchiveEntryName, OnlyNamesInsideTheFolderAreSafe) {
  const NameCase cases[] = {
      {L"npkvtplayer.dll", true},
      {L"sub/inner.txt", true},
      {L"sub\\deeper\\leaf.bin", true},
      {L"a..b", true},
      {L".hidden", true},
      {L"..", false},
      {L"..\\evil.txt", false},
      {L"../evil.txt", false},
      {L"a/../../evil", false},
      {L"a/..", false},
      {L"...\\x", false},
      {L".. \\x", false},
      {L".\\x", false},
      {L"\\evil.txt", false},
      {L"/evil.txt", false},
      {L"\\\\server\\share\\x", false},
      {L"C:\\evil.txt", false},
      {L"C:evil.txt", false},
      {L"file.txt:stream", false},
      {L"a//b", false},
      {L"a/", false},
      {L"", false},
      {L"a\x01"
       L"b",
       false},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(c.safe, ArchiveEntryName::IsSafe(c.name))
        << testing::PrintToString(std::wstring(c.name));
  }
  EXPECT_FALSE(ArchiveEntryName::IsSafe(nullptr));
}

TEST(ArchiveEntryName, AttributesKeepOnlyWindowsFileBits) {
  struct Case {
    uint32_t stored;
    uint32_t kept;
  };
  const Case cases[] = {
      {0x1, 0x1},                   // read-only
      {0x20, 0x20},                 // archive
      {0x8000 | 0x20, 0x20},        // POSIX extension flag
      {0x81A40000u | 0x21, 0x21},   // POSIX mode in the high half
      {0x10, 0},                    // directory
      {0x400 | 0x800 | 0x4000, 0},  // reparse point, compressed, encrypted
      {0x2 | 0x4 | 0x100 | 0x2000, 0x2 | 0x4 | 0x100 | 0x2000},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.kept, ArchiveEntryName::SettableAttributes(c.stored)) << c.stored;
}
