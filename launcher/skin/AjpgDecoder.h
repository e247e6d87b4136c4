// Decoding of skin image containers into 32-bit pixels (blue, green, red,
// alpha in memory order), plane row r to memory row r.
#pragma once

#include <cstddef>
#include <cstdint>

// Reports the header's width, height, alpha and colour flags and raw flags;
// each output may be null. False (outputs untouched) when data is null,
// size is below 12 or the magic is not "AJPG".
bool GetAjpgInfo(const void* data, size_t size, uint32_t* width, uint32_t* height, bool* hasAlpha,
                 bool* hasColour, uint32_t* flags);

// Decodes the whole container into the caller's buffer; stride is the byte
// distance between the starts of two memory rows. A zero width or height
// succeeds without touching the buffer. A buffer or stride too small for
// the picture fails before anything is written; a damaged plane fails and
// may leave the buffer partly written. Bytes of a row past width * 4 are
// never written.
bool DecodeAjpg(const void* data, size_t size, void* pixels, size_t pixelsSize, size_t stride);
