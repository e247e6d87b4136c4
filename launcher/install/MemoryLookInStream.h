#pragma once

#include <cstdint>

#include "7zTypes.h"

// The 7z reader's look-ahead input stream over an archive held in memory
// (a locked resource). The bytes are not owned and must outlive the stream.
struct MemoryLookInStream {
  // Must stay first: the reader hands back a pointer to it.
  ILookInStream vt;
  const uint8_t* data;
  uint32_t size;
  uint32_t position;

  // The most any one Look or Read hands out, as a file stream's buffer would.
  static const uint32_t kMaxChunk = 32768;

  MemoryLookInStream(const void* bytes, uint32_t length);

  ILookInStreamPtr Stream() const { return &vt; }

  static SRes Look(ILookInStreamPtr p, const void** buffer, size_t* length);
  static SRes Skip(ILookInStreamPtr p, size_t count);
  static SRes Read(ILookInStreamPtr p, void* buffer, size_t* length);
  static SRes Seek(ILookInStreamPtr p, Int64* offset, ESzSeek origin);

 private:
  static MemoryLookInStream* From(ILookInStreamPtr p);
  size_t Available(size_t wanted) const;
};
