#include "AjpgDecoder.h"

#include "AjpgFormat.h"
#include "JpegPlaneDecoder.h"

namespace {

// Every size is taken in 64 bits: width * height * 4 and stride * height
// overflow 32 bits for pictures a 16-bit header can describe.
bool BufferFits(const Ajpg::Header& header, size_t pixelsSize, size_t stride) {
  const uint64_t rowBytes = uint64_t(header.width) * 4;
  const uint64_t height = header.height;
  if (uint64_t(pixelsSize) < rowBytes * height) return false;
  if (uint64_t(stride) < rowBytes) return false;
  if (uint64_t(stride) > uint64_t(pixelsSize) / height) return false;
  return true;
}

void FillByte(uint8_t* pixels, size_t stride, const Ajpg::Header& header, size_t offset,
              uint8_t value) {
  for (uint32_t r = 0; r < header.height; ++r) {
    uint8_t* row = pixels + size_t(r) * stride;
    for (uint32_t x = 0; x < header.width; ++x) row[size_t(x) * 4 + offset] = value;
  }
}

void FillColour(uint8_t* pixels, size_t stride, const Ajpg::Header& header, uint8_t value) {
  for (size_t offset = 0; offset < 3; ++offset) FillByte(pixels, stride, header, offset, value);
}

bool DecodePlane(Ajpg::RecordCursor* cursor, Ajpg::PlaneKind kind, const Ajpg::Header& header,
                 uint8_t* pixels, size_t stride) {
  Ajpg::PlaneBytes plane;
  if (!cursor->Next(&plane)) return false;
  return Ajpg::DecodeJpegPlane(plane, kind, header.width, header.height, pixels, stride);
}

}  // namespace

bool GetAjpgInfo(const void* data, size_t size, uint32_t* width, uint32_t* height, bool* hasAlpha,
                 bool* hasColour, uint32_t* flags) {
  Ajpg::Header header;
  if (!Ajpg::ReadHeader(data, size, &header)) return false;
  if (width != nullptr) *width = header.width;
  if (height != nullptr) *height = header.height;
  if (hasAlpha != nullptr) *hasAlpha = (header.flags & Ajpg::kHasAlpha) != 0;
  if (hasColour != nullptr) *hasColour = (header.flags & Ajpg::kHasColour) != 0;
  if (flags != nullptr) *flags = header.flags;
  return true;
}

bool DecodeAjpg(const void* data, size_t size, void* pixels, size_t pixelsSize, size_t stride) {
  Ajpg::Header header;
  if (!Ajpg::ReadHeader(data, size, &header)) return false;
  if (pixels == nullptr || pixelsSize == 0) return false;
  if (header.width == 0 || header.height == 0) return true;
  if (!BufferFits(header, pixelsSize, stride)) return false;
  uint8_t* out = static_cast<uint8_t*>(pixels);
  Ajpg::RecordCursor cursor(data, size);
  if (Ajpg::AlphaStored(header.flags)) {
    if (!DecodePlane(&cursor, Ajpg::PlaneKind::kAlpha, header, out, stride)) return false;
  } else {
    FillByte(out, stride, header, 3, Ajpg::ConstantAlpha(header.flags));
  }
  if (Ajpg::ColourStored(header.flags)) {
    if (!DecodePlane(&cursor, Ajpg::PlaneKind::kColour, header, out, stride)) return false;
  } else {
    FillColour(out, stride, header, Ajpg::ConstantColour(header.flags));
  }
  return true;
}
