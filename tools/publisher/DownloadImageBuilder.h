// Lays out one download package image: the header whose counter is the
// CRC-32 of everything after it and whose used end is the image's length,
// then index blocks of 1000 slots, each followed by the data of its entries.
// The layout itself comes from the library's package format helpers and
// the encodings from its entry codec.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PackageFormat.h"
#include "ResourceName.h"

namespace Publisher {

struct ImageEntry {
  FileSystem::ResourceKey key{0, 0};
  uint16_t version = 0;
  bool removed = false;
  int method = 0;          // the encoding to store the content with
  int wantedMethod = 0;    // the high nibble
  bool wantedGiven = false;  // otherwise the high nibble is the method really used
  std::vector<uint8_t> content;
  uint32_t capacity = 0;   // 0 or less than the stored size: the stored size
  bool unpackaged = false;
  std::string path;        // unpackaged: relative path below the package root
  uint32_t attributes = 0;
  uint64_t time = 0;
};

class DownloadImageBuilder {
 public:
  // Encodes the entry and keeps it for Build; false (with *error) when the
  // content or the record does not fit the format.
  bool Add(const ImageEntry& entry, std::string* error);
  // The whole image; false when it would pass 4 GiB.
  bool Build(std::vector<uint8_t>* image, std::string* error) const;

  size_t EntryCount() const { return stored_.size(); }

 private:
  struct StoredEntry {
    FileSystem::FileIndexEntry index;
    std::vector<uint8_t> data;
  };
  std::vector<StoredEntry> stored_;
};

}  // namespace Publisher
