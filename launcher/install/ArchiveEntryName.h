#pragma once

#include <cstdint>

// Checks on what an archive says about an entry before it reaches the disk.
namespace ArchiveEntryName {
// True for a relative name that stays inside the folder it is extracted to:
// not empty, no leading separator (absolute or UNC), no ':' (drive letters
// and alternate streams), no empty component and no component made only of
// dots and blanks ("..", and "..." which Windows trims to ".."), no control
// characters.
bool IsSafe(const wchar_t* name);

// Keeps the attribute bits a file may carry on Windows; the archiver may have
// stored POSIX mode bits in the high half or flags that only the system sets.
// 0 when none is left.
uint32_t SettableAttributes(uint32_t stored);
}  // namespace ArchiveEntryName
