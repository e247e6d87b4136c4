// The LZMA block of the package format over the LZMA SDK's one-call encoder
// and decoder.
#include "EntryCodec.h"

#include <cstddef>

#include "Alloc.h"
#include "LzmaDec.h"
#include "LzmaEnc.h"

namespace FileSystem {

namespace {

void PutU64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint64_t GetU64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

// Blocks carry 16 MiB dictionaries.
constexpr uint32_t kDictionarySize = 1u << 24;

// The SDK's level-5 defaults: lc 3, lp 0, pb 2 and a 16 MiB dictionary, so
// every block starts 5D 00 00 00 01. Newer SDKs raise level 5's dictionary
// to 32 MiB; the size is pinned so blocks keep the header readers know and
// streaming readers never need more than 16 MiB.
CLzmaEncProps DefaultProps() {
  CLzmaEncProps props;
  LzmaEncProps_Init(&props);
  props.dictSize = kDictionarySize;
  LzmaEncProps_Normalize(&props);
  return props;
}

}  // namespace

int LzmaBlockCompress(uint8_t* dest, uint32_t* destLen, const uint8_t* src, uint32_t srcLen) {
  if (!dest || !destLen || !src) return kLzmaFail;
  if (*destLen <= kLzmaBlockHeaderSize) return kLzmaOutputEof;

  const CLzmaEncProps props = DefaultProps();
  SizeT streamLen = *destLen - kLzmaBlockHeaderSize;
  SizeT propsSize = kLzmaPropsSize;
  const SRes res = LzmaEncode(dest + kLzmaBlockHeaderSize, &streamLen, src, srcLen, &props, dest,
                              &propsSize, 0, nullptr, &g_Alloc, &g_Alloc);
  if (res != SZ_OK) {
    *destLen = 0;
    return res;
  }
  PutU64(dest + kLzmaPropsSize, srcLen);
  *destLen = static_cast<uint32_t>(streamLen) + kLzmaBlockHeaderSize;
  return SZ_OK;
}

uint32_t LzmaBlockUncompressedSize(const uint8_t* src, uint32_t len) {
  if (!src || len < kLzmaBlockHeaderSize) return 0;
  return static_cast<uint32_t>(GetU64(src + kLzmaPropsSize));
}

int LzmaBlockDecompress(uint8_t* dest, uint32_t* destLen, const uint8_t* src, uint32_t* srcLen) {
  if (!dest || !destLen || !src || !srcLen) return kLzmaFail;
  if (*srcLen < kLzmaBlockHeaderSize) {
    *destLen = 0;
    return kLzmaInputEof;
  }
  const uint64_t declared = GetU64(src + kLzmaPropsSize);
  if (declared == 0 || declared > *destLen) {
    *destLen = declared > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(declared);
    return kLzmaFail;
  }
  // A stream without end marker decodes cleanly only when the room is exactly
  // its size: with more room the SDK runs out of input and reports an error.
  // So the declared size is the room, even when the caller's buffer is larger.
  SizeT outLen = static_cast<SizeT>(declared);
  SizeT inLen = *srcLen - kLzmaBlockHeaderSize;
  ELzmaStatus status;
  const SRes res = LzmaDecode(dest, &outLen, src + kLzmaBlockHeaderSize, &inLen, src,
                              kLzmaPropsSize, LZMA_FINISH_ANY, &status, &g_Alloc);
  *destLen = static_cast<uint32_t>(outLen);
  *srcLen = static_cast<uint32_t>(inLen) + kLzmaBlockHeaderSize;
  return res;
}

}  // namespace FileSystem
