#include "MemoryLookInStream.h"

#include <cstddef>
#include <cstring>

MemoryLookInStream::MemoryLookInStream(const void* bytes, uint32_t length)
    : data(static_cast<const uint8_t*>(bytes)), size(length), position(0) {
  vt.Look = &MemoryLookInStream::Look;
  vt.Skip = &MemoryLookInStream::Skip;
  vt.Read = &MemoryLookInStream::Read;
  vt.Seek = &MemoryLookInStream::Seek;
}

MemoryLookInStream* MemoryLookInStream::From(ILookInStreamPtr p) {
  // vt is the first member, so the interface pointer is the object's.
  return reinterpret_cast<MemoryLookInStream*>(const_cast<ILookInStream*>(p));
}

size_t MemoryLookInStream::Available(size_t wanted) const {
  size_t remaining = position < size ? size - position : 0;
  if (wanted > remaining) wanted = remaining;
  if (wanted > kMaxChunk) wanted = kMaxChunk;
  return wanted;
}

SRes MemoryLookInStream::Look(ILookInStreamPtr p, const void** buffer, size_t* length) {
  if (*length == 0) return SZ_OK;
  MemoryLookInStream* self = From(p);
  *length = self->Available(*length);
  *buffer = self->data + self->position;
  return SZ_OK;
}

SRes MemoryLookInStream::Skip(ILookInStreamPtr p, size_t count) {
  MemoryLookInStream* self = From(p);
  // Compared against what remains, in 64 bits: position + count could wrap
  // around past the end and land back inside the block.
  uint64_t remaining = self->position < self->size ? self->size - self->position : 0;
  if (static_cast<uint64_t>(count) > remaining) return SZ_ERROR_INPUT_EOF;
  self->position += static_cast<uint32_t>(count);
  return SZ_OK;
}

SRes MemoryLookInStream::Read(ILookInStreamPtr p, void* buffer, size_t* length) {
  MemoryLookInStream* self = From(p);
  *length = self->Available(*length);
  if (*length != 0) std::memcpy(buffer, self->data + self->position, *length);
  self->position += static_cast<uint32_t>(*length);
  return SZ_OK;
}

SRes MemoryLookInStream::Seek(ILookInStreamPtr p, Int64* offset, ESzSeek origin) {
  MemoryLookInStream* self = From(p);
  int64_t base = 0;
  if (origin == SZ_SEEK_CUR)
    base = self->position;
  else if (origin == SZ_SEEK_END)
    base = self->size;
  else if (origin != SZ_SEEK_SET)
    return SZ_ERROR_PARAM;
  // Offsets near the 64-bit limits cannot be added without overflow, and
  // land outside the block anyway.
  if (*offset > static_cast<int64_t>(self->size) || *offset < -static_cast<int64_t>(self->size))
    return SZ_ERROR_INPUT_EOF;
  int64_t target = base + *offset;
  if (target < 0 || target > static_cast<int64_t>(self->size)) return SZ_ERROR_INPUT_EOF;
  self->position = static_cast<uint32_t>(target);
  *offset = target;
  return SZ_OK;
}
