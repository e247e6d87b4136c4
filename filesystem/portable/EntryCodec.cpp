// Entry decoding and encoding over LZO1X and the LZMA block.
#include "EntryCodec.h"

#include <cstddef>
#include <cstring>
#include <new>

#include <lzo/lzo1x.h>

namespace FileSystem {

namespace {

// LZO1X-999 at level 8: lazy matching 2, good length 32, maximum lazy match
// 128, nice length 2048, flags 1.
constexpr int kLzoLevel = 8;
constexpr uint64_t kLzoWorkMemory = 458752;
static_assert(LZO1X_999_MEM_COMPRESS == kLzoWorkMemory, "LZO1X-999 work memory changed");
// The work memory follows the output area in the same allocation; it starts
// on this boundary so the compressor's tables are aligned.
constexpr uint64_t kWorkAlign = 16;

bool LzoReady() {
  static const bool ready = lzo_init() == LZO_E_OK;
  return ready;
}

bool DecodeLzo(const uint8_t* src, uint32_t srcLen, uint8_t* dest, uint32_t size) {
  if (!LzoReady()) return false;
  lzo_uint outLen = size;
  const int res = lzo1x_decompress_safe(src, srcLen, dest, &outLen, nullptr);
  return res == LZO_E_OK && outLen == size;
}

bool DecodeLzma(const uint8_t* src, uint32_t srcLen, uint8_t* dest, uint32_t size) {
  uint32_t outLen = size;
  uint32_t inLen = srcLen;
  const int res = LzmaBlockDecompress(dest, &outLen, src, &inLen);
  return res == kLzmaOk && outLen == size;
}

// The compressed form, or false when it could not be made.
bool EncodeLzo(const uint8_t* src, uint32_t size, std::vector<uint8_t>* packed) {
  if (!LzoReady()) return false;
  // LZO1X writes without knowing the room; its worst case is this bound.
  const uint64_t room = uint64_t{size} + size / 16 + 67;
  const uint64_t workAt = (room + kWorkAlign - 1) / kWorkAlign * kWorkAlign;
  const uint64_t total = workAt + kLzoWorkMemory;
  if (total > SIZE_MAX) return false;
  packed->resize(static_cast<size_t>(total));
  uint8_t* area = packed->data();
  lzo_uint outLen = static_cast<lzo_uint>(room);
  const int res = lzo1x_999_compress_level(src, size, area, &outLen, area + workAt, nullptr, 0,
                                           nullptr, kLzoLevel);
  if (res != LZO_E_OK || outLen > room) return false;
  packed->resize(static_cast<size_t>(outLen));
  return true;
}

bool EncodeLzma(const uint8_t* src, uint32_t size, std::vector<uint8_t>* packed) {
  // The room is computed in 32 bits; where it wraps for huge content the
  // encoder only sees a smaller room, which it respects.
  uint32_t room = size * 11u / 10u + 16416u;
  packed->resize(room);
  const int res = LzmaBlockCompress(packed->data(), &room, src, size);
  if (res != kLzmaOk) return false;
  packed->resize(room);
  return true;
}

bool Encode(int method, const uint8_t* src, uint32_t size, std::vector<uint8_t>* packed) {
  try {
    if (method == kMethodLzo) return EncodeLzo(src, size, packed);
    if (method == kMethodLzma) return EncodeLzma(src, size, packed);
  } catch (const std::bad_alloc&) {
  }
  return false;
}

}  // namespace

bool DecodeEntry(int method, const uint8_t* src, uint32_t srcLen, uint8_t* dest, uint32_t size) {
  if (!src || !dest) return false;
  if (method == kMethodLzo) return DecodeLzo(src, srcLen, dest, size);
  if (method == kMethodLzma) return DecodeLzma(src, srcLen, dest, size);
  return false;
}

EntryDecodeResult CheckEntryContent(int method, const uint8_t* src, uint32_t srcLen,
                                    uint32_t size) {
  if (method != kMethodStored && method != kMethodLzo && method != kMethodLzma)
    return EntryDecodeResult::kInvalid;
  if (method == kMethodStored && srcLen != size) return EntryDecodeResult::kInvalid;
  // size + 1 must not wrap where size_t has 32 bits.
  if (size == UINT32_MAX) return EntryDecodeResult::kInvalid;
  // The block names its own length: one that disagrees is refused before
  // any decoding.
  if (method == kMethodLzma && LzmaBlockUncompressedSize(src, srcLen) != size)
    return EntryDecodeResult::kSizeRefused;
  return EntryDecodeResult::kDecoded;
}

EntryDecodeResult DecodeEntryContent(int method, const uint8_t* src, uint32_t srcLen,
                                     uint32_t size, uint8_t* dest) {
  if (dest == nullptr) return EntryDecodeResult::kInvalid;
  const EntryDecodeResult check = CheckEntryContent(method, src, srcLen, size);
  if (check != EntryDecodeResult::kDecoded) return check;
  if (method == kMethodStored) {
    if (size != 0) {
      if (src == nullptr) return EntryDecodeResult::kInvalid;
      std::memcpy(dest, src, size);
    }
  } else if (!DecodeEntry(method, src, srcLen, dest, size)) {
    return EntryDecodeResult::kDecodeError;
  }
  dest[size] = 0;
  return EntryDecodeResult::kDecoded;
}

int EncodeEntry(int wantedMethod, const uint8_t* src, uint32_t size, std::vector<uint8_t>* out) {
  if (!out) return -1;
  out->clear();
  if (size > 0 && !src) return -1;
  // Nothing is shorter than empty content, so it is never compressed.
  if (size > 0 && (wantedMethod == kMethodLzo || wantedMethod == kMethodLzma)) {
    std::vector<uint8_t> packed;
    if (Encode(wantedMethod, src, size, &packed) && packed.size() < size) {
      out->swap(packed);
      return wantedMethod;
    }
  }
  try {
    out->assign(src, src + size);
  } catch (const std::bad_alloc&) {
    out->clear();
    return -1;
  }
  return kMethodStored;
}

}  // namespace FileSystem
