// The skin image container "AJPG": a 12-byte header (magic, width, height,
// flags) and up to two plane records, each a 4-byte length and one complete
// JPEG image. This unit reads the header and the records and knows which
// planes a set of flags stores; it decodes nothing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Ajpg {

constexpr uint32_t kHasAlpha = 0x01;
constexpr uint32_t kHasColour = 0x02;
constexpr uint32_t kAlphaZero = 0x04;
constexpr uint32_t kColourZero = 0x08;
constexpr uint32_t kAlphaFull = 0x10;
constexpr uint32_t kColourFull = 0x20;

constexpr size_t kHeaderSize = 12;
constexpr size_t kLengthFieldSize = 4;

struct Header {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t flags = 0;
};

// One plane's JPEG bytes inside the container.
struct PlaneBytes {
  const uint8_t* data = nullptr;
  size_t size = 0;
};

// False when data is null, shorter than the header or not "AJPG".
bool ReadHeader(const void* data, size_t size, Header* header);

bool AlphaStored(uint32_t flags);
bool ColourStored(uint32_t flags);
// The value a plane that is not stored takes.
uint8_t ConstantAlpha(uint32_t flags);
uint8_t ConstantColour(uint32_t flags);

// Walks the plane records after the header, in container order.
class RecordCursor {
 public:
  RecordCursor(const void* data, size_t size);
  // The next record; false when fewer than 5 bytes are left or the length
  // runs past the end of the container.
  bool Next(PlaneBytes* plane);

 private:
  const uint8_t* position_;
  size_t remaining_;
};

// Both planes of a container as stored (a plane not stored stays empty);
// false on a bad header or a record that does not fit.
bool FindPlanes(const void* data, size_t size, Header* header, PlaneBytes* alpha,
                PlaneBytes* colour);

}  // namespace Ajpg
