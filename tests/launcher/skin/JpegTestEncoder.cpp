#include "JpegTestEncoder.h"

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace TestJpeg {

namespace {

std::string Encode(int width, int height, int components, const std::vector<uint8_t>& samples) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = width;
  info.image_height = height;
  info.input_components = components;
  info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples.data() +
                                        size_t(info.next_scanline) * width * components);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  std::string out(reinterpret_cast<const char*>(buffer), size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return out;
}

void PutLe(std::string* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::string Header(uint32_t width, uint32_t height, uint32_t flags) {
  std::string out = "AJPG";
  PutLe(&out, width, 2);
  PutLe(&out, height, 2);
  PutLe(&out, flags, 4);
  return out;
}

}  // namespace

std::string Grey(int width, int height, uint8_t value) {
  return Encode(width, height, 1, std::vector<uint8_t>(size_t(width) * height, value));
}

std::string Colour(int width, int height, uint8_t red, uint8_t green, uint8_t blue) {
  std::vector<uint8_t> samples;
  for (int i = 0; i < width * height; ++i) {
    samples.push_back(red);
    samples.push_back(green);
    samples.push_back(blue);
  }
  return Encode(width, height, 3, samples);
}

std::string GreyRamp(int width, int height) {
  std::vector<uint8_t> samples;
  for (int y = 0; y < height; ++y) {
    const uint8_t value = static_cast<uint8_t>(height > 1 ? y * 255 / (height - 1) : 0);
    samples.insert(samples.end(), width, value);
  }
  return Encode(width, height, 1, samples);
}

std::string Container(uint32_t width, uint32_t height, uint32_t flags,
                      const std::vector<std::string>& planes) {
  std::string out = Header(width, height, flags);
  for (const std::string& plane : planes) {
    PutLe(&out, static_cast<uint32_t>(plane.size()), 4);
    out += plane;
  }
  return out;
}

std::string ContainerWithLength(uint32_t width, uint32_t height, uint32_t flags,
                                const std::string& plane, uint32_t length) {
  std::string out = Header(width, height, flags);
  PutLe(&out, length, 4);
  out += plane;
  return out;
}

}  // namespace TestJpeg
