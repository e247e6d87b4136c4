// Walking a download package image: the header, the chain of index blocks
// and the used entries in slot order. Every offset and count comes from
// downloaded bytes, so each is checked against the image before it is read.
// Portable: no Windows headers.
#pragma once

#include <cstdint>
#include <functional>

#include "PackageFormat.h"

namespace FileSystem {

enum class WalkResult {
  kComplete,   // every block up to the one whose next is 0 was visited
  kMalformed,  // the header or a bound failed; entries before it were visited
  kStopped,    // the visitor refused an entry
};

// Called once per used entry; false ends the walk.
using DownloadEntryVisitor = std::function<bool(const FileIndexEntry&)>;

// True when the image is longer than its header and starts with the package
// magic. An image of exactly 12 bytes has no room for a block.
bool HasDownloadPackageHeader(const uint8_t* image, uint32_t length);

// Visits the used entries of every block in chain order. Each block is
// checked before its first entry is handed out: its header and all of its
// capacity slots lie inside the image, count does not exceed capacity, and a
// non-zero next points past the block into the image (so a chain can never
// loop). Each entry's stored data must lie inside the image.
WalkResult WalkDownloadPackage(const uint8_t* image, uint32_t length,
                               const DownloadEntryVisitor& visit);

}  // namespace FileSystem
