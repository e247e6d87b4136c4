// The 12-byte header of a download package image and the checks made while
// it is received: its length, and the CRC-32 of bytes 12 to the end that the
// header's counter carries. Portable: no Windows headers.
#pragma once

#include <cstdint>

namespace FileSystem {

class DownloadImage {
 public:
  static constexpr uint32_t kMagic = 0x4B415048u;  // "HPAK"
  static constexpr uint32_t kHeaderSize = 12;

  struct Header {
    uint32_t magic;
    uint32_t counter;  // CRC-32 of bytes 12 to the end
    uint32_t usedEnd;  // the image's total length
  };

  // Reads the little-endian header from the first 12 bytes.
  static Header ReadHeader(const uint8_t* bytes);
  // The magic matches and usedEnd leaves room for the header.
  static bool IsHeaderUsable(const Header& header);

  // A length announced by the network that an image buffer may be made
  // of: at least the header, and within 32 bits.
  static bool IsAcceptableLength(int64_t length);

  // Continues the running CRC over the bytes that one receive added at
  // image[before, before + count): only bytes from offset 12 on count.
  static uint32_t ContinueCrc(uint32_t crc, const uint8_t* image, uint64_t before, uint32_t count);

  // The finished image: at least 12 bytes, magic, usedEnd equal to its
  // length and counter equal to the running CRC.
  static bool IsComplete(const uint8_t* image, int64_t totalSize, uint32_t runningCrc);
};

}  // namespace FileSystem
