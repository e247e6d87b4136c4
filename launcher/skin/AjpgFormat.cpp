#include "AjpgFormat.h"

#include <cstring>

namespace Ajpg {

namespace {

uint32_t ReadLe16(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8); }

uint32_t ReadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

}  // namespace

bool ReadHeader(const void* data, size_t size, Header* header) {
  if (data == nullptr || size < kHeaderSize) return false;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  if (std::memcmp(bytes, "AJPG", 4) != 0) return false;
  header->width = ReadLe16(bytes + 4);
  header->height = ReadLe16(bytes + 6);
  header->flags = ReadLe32(bytes + 8);
  return true;
}

bool AlphaStored(uint32_t flags) {
  return (flags & kHasAlpha) != 0 && (flags & (kAlphaZero | kAlphaFull)) == 0;
}

bool ColourStored(uint32_t flags) {
  return (flags & kHasColour) != 0 && (flags & (kColourZero | kColourFull)) == 0;
}

uint8_t ConstantAlpha(uint32_t flags) {
  const bool zero = (flags & kHasAlpha) != 0 && (flags & kAlphaZero) != 0;
  return zero ? 0 : 255;
}

uint8_t ConstantColour(uint32_t flags) {
  const bool full = (flags & kHasColour) != 0 && (flags & kColourFull) != 0;
  return full ? 255 : 0;
}

RecordCursor::RecordCursor(const void* data, size_t size)
    : position_(static_cast<const uint8_t*>(data) + kHeaderSize), remaining_(size - kHeaderSize) {}

bool RecordCursor::Next(PlaneBytes* plane) {
  // A record is its length and at least one byte of image.
  if (remaining_ < kLengthFieldSize + 1) return false;
  const uint32_t length = ReadLe32(position_);
  const size_t left = remaining_ - kLengthFieldSize;
  if (length > left) return false;
  plane->data = position_ + kLengthFieldSize;
  plane->size = length;
  position_ += kLengthFieldSize + length;
  remaining_ = left - length;
  return true;
}

bool FindPlanes(const void* data, size_t size, Header* header, PlaneBytes* alpha,
                PlaneBytes* colour) {
  if (!ReadHeader(data, size, header)) return false;
  *alpha = PlaneBytes();
  *colour = PlaneBytes();
  RecordCursor cursor(data, size);
  if (AlphaStored(header->flags) && !cursor.Next(alpha)) return false;
  if (ColourStored(header->flags) && !cursor.Next(colour)) return false;
  return true;
}

}  // namespace Ajpg
