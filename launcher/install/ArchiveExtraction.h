#pragma once

#include <windows.h>

#include <cstdint>

// Unpacking of the launcher's embedded 7z archive (the browser plug-ins).
enum ArchiveExtractionResult {
  kExtractOk = 0,
  // The archive is empty, or a file could not be created.
  kExtractCannotCreate = -1,
  // The block is not a readable 7z archive, or a file was written short.
  kExtractBadArchiveOrShortWrite = -2,
  kExtractFolderTooLong = -3,
  kExtractNoMemory = -4,
  kExtractNameTooLong = -5,
  // An entry's name would leave the destination folder ("..", a drive, an
  // absolute path); the whole archive is refused before anything is written.
  kExtractUnsafeName = -6,
  // Positive results are the 7z reader's own error codes (data, CRC...).
};

// Unpacks every entry of the archive into destinationFolder, creating the
// folders on the way. Returns 0 when every entry was written, else the first
// failure met (a later success never hides an earlier failed file).
int ExtractArchiveToDirectory(const void* data, uint32_t size, const wchar_t* destinationFolder);

// Writes one extracted file, replacing an older one: 0, -1 (cannot create)
// or -2 (written short).
int WriteExtractedFile(const wchar_t* path, const void* data, uint32_t size, bool attributesDefined,
                       uint32_t attributes, bool timeDefined, const FILETIME* time);
