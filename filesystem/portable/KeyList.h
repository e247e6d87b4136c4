// A counted list of resource keys, the block that several configuration
// files are made of: u32 N, then N x {u32 hash1, u32 hash2}.
// Portable: no Windows headers.
#pragma once

#include <cstdint>
#include <vector>

#include "ByteReader.h"
#include "ByteWriter.h"
#include "ResourceName.h"

namespace FileSystem {

// Reads one block into *keys (emptied first). The N x 8 bytes are checked to
// be there before any key is read, so a broken block yields nothing.
bool ReadKeyList(ByteReader* reader, std::vector<ResourceKey>* keys);
bool WriteKeyList(const std::vector<ResourceKey>& keys, ByteWriter* writer);

}  // namespace FileSystem
