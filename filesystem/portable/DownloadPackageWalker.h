// Walking a download package image: the header, the chain of index blocks
// and the used entries in slot order. Every offset and count comes from
// downloaded bytes, so each is checked against the image before it is read.
// Portable: no Windows headers.
#pragma once

#include <cstdint>
#include <functional>

namespace FileSystem {

constexpr uint32_t kDownloadPackageMagic = 0x4B415048u;  // "HPAK"
constexpr uint32_t kDownloadHeaderSize = 12;
constexpr uint32_t kDownloadBlockHeaderSize = 12;
constexpr uint32_t kDownloadEntrySize = 28;

constexpr uint8_t kEntryFlagUnpackaged = 0x01;
constexpr uint8_t kEntryFlagRemoved = 0x02;

// One 28-byte index slot of an image, decoded.
struct DownloadEntry {
  uint32_t hash1;
  uint32_t hash2;
  uint32_t size;
  uint32_t offset;
  uint32_t storedSize;
  uint32_t capacity;
  uint16_t version;
  uint8_t flags;
  uint8_t method;
};

enum class WalkResult {
  kComplete,   // every block up to the one whose next is 0 was visited
  kMalformed,  // the header or a bound failed; entries before it were visited
  kStopped,    // the visitor refused an entry
};

// Called once per used entry; false ends the walk.
using DownloadEntryVisitor = std::function<bool(const DownloadEntry&)>;

// True when the image is long enough to hold a header and a block header
// and starts with the package magic.
bool HasDownloadPackageHeader(const uint8_t* image, uint32_t length);

// Visits the used entries of every block in chain order, each block checked
// before its first entry is handed out: its header and all of its slots lie
// inside the image, count does not exceed capacity, and next points past the
// block's own start (so a chain can never loop). Each entry's stored data
// must lie inside the image.
WalkResult WalkDownloadPackage(const uint8_t* image, uint32_t length,
                               const DownloadEntryVisitor& visit);

}  // namespace FileSystem
