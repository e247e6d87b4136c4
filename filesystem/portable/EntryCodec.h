// Encoding of package entries: stored as is, LZO1X, or an LZMA block.
// Portable: no Windows headers.
//
// Every reader of an entry relies on one decoding contract: the output
// buffer holds exactly the entry's size, decoding succeeds only when the
// library reports success and exactly that many bytes came out, and nothing
// is ever written beyond the buffer.
#pragma once

#include <cstdint>
#include <vector>

namespace FileSystem {

// The low nibble of an entry's method byte. No other value is valid.
enum EntryMethod : int { kMethodStored = 0, kMethodLzo = 1, kMethodLzma = 2 };

// An LZMA block: 5 property bytes, the uncompressed size as u64 little-endian
// (high half 0), then the raw LZMA stream without end marker. The same header
// as the SDK's .lzma files.
constexpr uint32_t kLzmaPropsSize = 5;
constexpr uint32_t kLzmaBlockHeaderSize = 13;

// Results are the LZMA SDK's SRes codes: 0 success, 7 output room exhausted,
// 11 refused arguments, others as the SDK reports them.
constexpr int kLzmaOk = 0;
constexpr int kLzmaInputEof = 6;
constexpr int kLzmaOutputEof = 7;
constexpr int kLzmaFail = 11;

// Compresses src into dest (room *destLen) with the SDK's default properties.
// Null src, dest or destLen gives 11; a room of 13 bytes or less gives 7. On
// success *destLen becomes the block's length; on failure it becomes 0.
int LzmaBlockCompress(uint8_t* dest, uint32_t* destLen, const uint8_t* src, uint32_t srcLen);

// The declared uncompressed size (low 32 bits); 0 for null src or len < 13.
uint32_t LzmaBlockUncompressedSize(const uint8_t* src, uint32_t len);

// Decodes the block src (*srcLen bytes) into dest (room *destLen). Null
// arguments give 11. A declared size of 0 or larger than the room gives 11
// with *destLen set to the declared size (saturated to 0xFFFFFFFF when the
// high half is not 0). Input shorter than the header gives 6 with *destLen 0.
// Otherwise exactly the declared size is decoded, *destLen becomes the count
// of bytes produced, *srcLen the count of bytes consumed (header included),
// and the result is the SDK decoder's.
int LzmaBlockDecompress(uint8_t* dest, uint32_t* destLen, const uint8_t* src, uint32_t* srcLen);

// Decodes stored data of method 1 (LZO1X, bounds-checked decompressor) or 2
// (LZMA block) into dest, which has room for exactly `size` bytes. True only
// when the library reports success and exactly `size` bytes came out; never
// writes beyond dest + size; false for method 0 or any other method.
bool DecodeEntry(int method, const uint8_t* src, uint32_t srcLen, uint8_t* dest, uint32_t size);

// What became of one entry's content. kInvalid: the entry's own fields rule
// it out (an unknown method, a stored length that is not the size, a size
// whose terminating byte would not fit in 32 bits). kSizeRefused: an LZMA
// block names another length than the entry. kDecodeError: the codec failed
// or produced another length.
enum class EntryDecodeResult { kDecoded, kInvalid, kSizeRefused, kDecodeError };

// The rules an entry meets before any buffer is taken for its content.
EntryDecodeResult CheckEntryContent(int method, const uint8_t* src, uint32_t srcLen,
                                    uint32_t size);

// The one decoder of entries: checks as CheckEntryContent, then copies
// (method 0) or decodes the stored bytes into dest, which has room for
// size + 1 bytes, and puts a 0 byte after the content. Nothing is written
// beyond dest + size + 1.
EntryDecodeResult DecodeEntryContent(int method, const uint8_t* src, uint32_t srcLen,
                                     uint32_t size, uint8_t* dest);

// Encodes content for a wanted method: 0 the content itself, 1 LZO1X-999 at
// level 8, 2 an LZMA block. *out receives the bytes to store; the result is
// the method actually used: the compressed form only when compression
// succeeded and is strictly shorter than size, else 0 with the content
// itself. An unknown wanted method stores the content (0). Returns -1 with
// *out empty (when out is given) for a null out, a null src with a non-zero
// size, or when no memory could be had even for the content.
int EncodeEntry(int wantedMethod, const uint8_t* src, uint32_t size, std::vector<uint8_t>* out);

}  // namespace FileSystem
