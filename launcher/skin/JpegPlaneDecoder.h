// Decodes one JPEG plane of a skin image straight from memory into 32-bit
// pixel rows with libjpeg, one scanline at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "AjpgFormat.h"

namespace Ajpg {

enum class PlaneKind {
  kAlpha,   // one component, written to byte 3 of each pixel
  kColour,  // red, green, blue, written to bytes 2, 1, 0
};

// False on any library error, on a truncated plane, or when the image's
// component count or either dimension differs from what is asked; the rows
// may then be partly written. Plane row r goes to memory row r.
bool DecodeJpegPlane(const PlaneBytes& plane, PlaneKind kind, uint32_t width, uint32_t height,
                     uint8_t* pixels, size_t stride);

}  // namespace Ajpg
