// Fuzz target for entry decoding: stored data straight from a package file
// or a download is untrusted, so no input may make a decoder crash, read
// outside its input or write outside the entry's buffer.
//
// Input layout: byte 0 picks the method (bit 0) and whether the payload is
// also round-tripped through the LZO1X encoder (bit 1); bytes 1-2 are the
// entry's size (u16 little-endian); the rest is the stored data. LZMA blocks
// are not round-tripped here: each encoder call sets up a 16 MiB dictionary,
// far too slow per input; the unit tests cover them.
#include "EntryCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

void RoundTrip(int method, const uint8_t* content, uint32_t size) {
  std::vector<uint8_t> stored;
  const int used = FileSystem::EncodeEntry(method, content, size, &stored);
  if (used == FileSystem::kMethodStored) {
    if (stored.size() != size || (size && std::memcmp(stored.data(), content, size))) std::abort();
    return;
  }
  if (used != method || stored.size() >= size) std::abort();
  std::unique_ptr<uint8_t[]> out(new uint8_t[size]);
  if (!FileSystem::DecodeEntry(used, stored.data(), static_cast<uint32_t>(stored.size()),
                               out.get(), size) ||
      std::memcmp(out.get(), content, size) != 0)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t len) {
  if (len < 3) return 0;
  const int method = (data[0] & 1) ? FileSystem::kMethodLzma : FileSystem::kMethodLzo;
  const uint32_t size = data[1] | (uint32_t{data[2]} << 8);
  const uint8_t* stored = data + 3;
  const uint32_t storedLen = static_cast<uint32_t>(len - 3);

  // Exactly `size` bytes, so the sanitizer sees any write past the entry.
  std::unique_ptr<uint8_t[]> dest(new uint8_t[size ? size : 1]);
  FileSystem::DecodeEntry(method, stored, storedLen, dest.get(), size);
  // The entry decoder the readers use: exactly size + 1 bytes of room.
  std::unique_ptr<uint8_t[]> content(new uint8_t[size_t{size} + 1]);
  if (FileSystem::DecodeEntryContent(method, stored, storedLen, size, content.get()) ==
          FileSystem::EntryDecodeResult::kDecoded &&
      content[size] != 0)
    std::abort();

  if ((data[0] & 2) && storedLen <= 4096) RoundTrip(FileSystem::kMethodLzo, stored, storedLen);
  return 0;
}
