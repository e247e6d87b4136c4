// JPEG planes for tests, made with libjpeg's own compressor, and AJPG
// containers laid out byte by byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace TestJpeg {

// A greyscale JPEG of one value, or a YCbCr JPEG of one colour.
std::string Grey(int width, int height, uint8_t value);
std::string Colour(int width, int height, uint8_t red, uint8_t green, uint8_t blue);
// A greyscale JPEG whose rows go from 0 (first row) to 255 (last row).
std::string GreyRamp(int width, int height);

// "AJPG", width, height, flags, then each plane as a length and its bytes.
std::string Container(uint32_t width, uint32_t height, uint32_t flags,
                      const std::vector<std::string>& planes);
// A container whose first plane's length field holds the given value.
std::string ContainerWithLength(uint32_t width, uint32_t height, uint32_t flags,
                                const std::string& plane, uint32_t length);

}  // namespace TestJpeg
