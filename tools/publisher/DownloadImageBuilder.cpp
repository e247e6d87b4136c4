#include "DownloadImageBuilder.h"

#include <algorithm>

#include <zlib.h>

#include "EntryCodec.h"

namespace Publisher {

namespace {

using FileSystem::kBlockCapacity;
using FileSystem::kBlockSize;
using FileSystem::kIndexEntrySize;
using FileSystem::kPackageHeaderSize;

// The fixed part of an unpackaged file's record, before its content.
std::vector<uint8_t> RecordHead(const ImageEntry& entry, uint32_t crc) {
  std::vector<uint8_t> head(FileSystem::kUnpackagedRecordFixedSize + entry.path.size());
  head[0] = static_cast<uint8_t>(entry.path.size());
  std::copy(entry.path.begin(), entry.path.end(), head.begin() + 1);
  uint8_t* p = head.data() + 1 + entry.path.size();
  FileSystem::WriteU32(p, entry.attributes);
  FileSystem::WriteU32(p + 4, static_cast<uint32_t>(entry.time));
  FileSystem::WriteU32(p + 8, static_cast<uint32_t>(entry.time >> 32));
  FileSystem::WriteU32(p + 12, crc);
  return head;
}

uint32_t ContentCrc(const std::vector<uint8_t>& content) {
  return static_cast<uint32_t>(
      crc32(0L, content.empty() ? Z_NULL : content.data(), static_cast<uInt>(content.size())));
}

}  // namespace

bool DownloadImageBuilder::Add(const ImageEntry& entry, std::string* error) {
  if (entry.content.size() > 0xFFFFFFF0u) return *error = "content larger than 4 GiB", false;
  if (entry.unpackaged && (entry.path.empty() || entry.path.size() > 255)) {
    return *error = "an unpackaged path must be 1 to 255 bytes: \"" + entry.path + "\"", false;
  }
  StoredEntry stored{};
  const uint32_t size = static_cast<uint32_t>(entry.content.size());
  int used = 0;
  std::vector<uint8_t> encoded;
  if (!entry.removed) {
    used = FileSystem::EncodeEntry(entry.method, entry.content.data(), size, &encoded);
    if (used < 0) return *error = "the content could not be encoded", false;
  }
  if (entry.unpackaged) {
    stored.data = RecordHead(entry, ContentCrc(entry.content));
    stored.data.insert(stored.data.end(), encoded.begin(), encoded.end());
  } else {
    stored.data = std::move(encoded);
  }
  FileSystem::FileIndexEntry& e = stored.index;
  e.hash1 = entry.key.hash1;
  e.hash2 = entry.key.hash2;
  e.size = entry.removed ? 0 : size;
  e.storedSize = static_cast<uint32_t>(stored.data.size());
  e.capacity = entry.capacity > e.storedSize ? entry.capacity : e.storedSize;
  e.version = entry.version;
  e.flags = static_cast<uint8_t>((entry.unpackaged ? FileSystem::kFlagUnpackaged : 0) |
                                 (entry.removed ? FileSystem::kFlagRemoved : 0));
  e.method = FileSystem::PackMethod(used, entry.wantedGiven ? entry.wantedMethod : used);
  stored_.push_back(std::move(stored));
  return true;
}

bool DownloadImageBuilder::Build(std::vector<uint8_t>* image, std::string* error) const {
  // Sizes first, in 64 bits, so that nothing is laid out past 4 GiB.
  const size_t blocks = stored_.empty() ? 1 : (stored_.size() + kBlockCapacity - 1) / kBlockCapacity;
  uint64_t total = kPackageHeaderSize + static_cast<uint64_t>(blocks) * kBlockSize;
  for (const StoredEntry& s : stored_) total += s.data.size();
  if (total > 0xFFFFFFFFull) return *error = "the image would pass 4 GiB", false;

  std::vector<uint8_t> out(static_cast<size_t>(total), 0);
  uint32_t position = kPackageHeaderSize;
  size_t next = 0;
  for (size_t b = 0; b < blocks; ++b) {
    const uint32_t blockOffset = position;
    const size_t count = std::min<size_t>(kBlockCapacity, stored_.size() - next);
    position += kBlockSize;
    for (size_t slot = 0; slot < count; ++slot, ++next) {
      FileSystem::FileIndexEntry index = stored_[next].index;
      index.offset = position;
      std::copy(stored_[next].data.begin(), stored_[next].data.end(), out.begin() + position);
      position += index.storedSize;
      FileSystem::WriteIndexEntry(
          out.data() + static_cast<size_t>(FileSystem::SlotOffset(blockOffset, static_cast<uint32_t>(slot))),
          index);
    }
    const uint32_t nextBlock = b + 1 < blocks ? position : 0;
    FileSystem::WriteBlockHeader(out.data() + blockOffset,
                                 {kBlockCapacity, static_cast<uint32_t>(count), nextBlock});
  }
  const uint32_t length = static_cast<uint32_t>(out.size());
  const uint32_t crc = static_cast<uint32_t>(
      crc32(0L, out.data() + kPackageHeaderSize, static_cast<uInt>(length - kPackageHeaderSize)));
  FileSystem::WritePackageHeader(out.data(), {FileSystem::kPackageMagic, crc, length});
  *image = std::move(out);
  return true;
}

}  // namespace Publisher
