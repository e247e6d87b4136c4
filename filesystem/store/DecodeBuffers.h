// The process's buffers for decoded entries: each holds one entry's content
// and a 0 byte after it, and goes back here when its file object ends, so
// the next decode of a similar size reuses memory that is already in place.
// Shared by every file system of the process and by every thread.
#pragma once

#include <cstdint>

#include "EntryCodec.h"

namespace FileSystem {

class DecodeBuffers {
 public:
  // A buffer of at least size + 1 bytes; null when no memory can be had.
  static char* Take(uint32_t size);
  // Ends a buffer that Take gave for the same size. Null is ignored.
  static void Give(char* buffer, uint32_t size);
  // Decodes an entry into a buffer taken here; null on any failure, with
  // *result telling why (kDecoded with null: no memory).
  static char* Decode(int method, const uint8_t* src, uint32_t srcLen, uint32_t size,
                      EntryDecodeResult* result);
};

}  // namespace FileSystem
