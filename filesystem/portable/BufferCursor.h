// The read and seek rules shared by every in-memory reader: a read never
// goes past the available bytes, a seek lands inside [0, size].
#pragma once

#include <cstdint>

namespace FileSystem {

// Copies n bytes from data at *position when position + n stays within
// available; advances the position on success and leaves it on failure.
bool CursorRead(const char* data, uint32_t available, uint32_t* position, char* buffer,
                uint32_t n);
// Moves *position to offset from the start (origin 0), the current position
// (1) or the end (2); false for another origin or a target outside [0, size].
bool CursorSeek(uint32_t size, uint32_t* position, int32_t offset, int origin);

}  // namespace FileSystem
