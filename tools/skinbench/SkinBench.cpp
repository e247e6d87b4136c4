// skinbench [rounds]: decodes every shipped skin through DecodeAjpg and the
// same JPEG planes with plain libjpeg (memory source, scanlines into one row
// buffer, no copy into pixels), and prints both throughputs.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "AjpgDecoder.h"
#include "AjpgFormat.h"
#include "ShippedSkins.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void DecodePlainJpeg(const Ajpg::PlaneBytes& plane) {
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, const_cast<unsigned char*>(plane.data),
               static_cast<unsigned long>(plane.size));
  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);
  JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                             info.output_width * info.output_components, 1);
  while (info.output_scanline < info.output_height) jpeg_read_scanlines(&info, row, 1);
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
}

struct Figures {
  double ajpgSeconds = 0;
  double jpegSeconds = 0;
  double pixels = 0;
};

bool Measure(const ShippedSkin& skin, int rounds, Figures* figures) {
  Ajpg::Header header;
  Ajpg::PlaneBytes alpha, colour;
  if (!Ajpg::FindPlanes(skin.data, skin.size, &header, &alpha, &colour)) return false;
  std::vector<unsigned char> pixels(size_t(header.width) * header.height * 4);
  Clock::time_point start = Clock::now();
  for (int i = 0; i < rounds; ++i) {
    if (!DecodeAjpg(skin.data, skin.size, pixels.data(), pixels.size(), header.width * 4)) {
      return false;
    }
  }
  const double ajpg = Seconds(start);
  start = Clock::now();
  for (int i = 0; i < rounds; ++i) {
    if (alpha.data != nullptr) DecodePlainJpeg(alpha);
    if (colour.data != nullptr) DecodePlainJpeg(colour);
  }
  const double jpeg = Seconds(start);
  const double count = double(header.width) * header.height * rounds;
  std::printf("%4d %5ux%-4u flags 0x%02x  ajpg %8.1f Mpx/s  libjpeg %8.1f Mpx/s  ratio %.3f\n",
              skin.id, header.width, header.height, header.flags, count / ajpg / 1e6,
              count / jpeg / 1e6, jpeg / ajpg);
  figures->ajpgSeconds += ajpg;
  figures->jpegSeconds += jpeg;
  figures->pixels += count;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 200;
  const std::vector<ShippedSkin> skins = LoadShippedSkins();
  if (skins.empty() || rounds <= 0) {
    std::printf("no skins or no rounds\n");
    return 1;
  }
  Figures total;
  for (const ShippedSkin& skin : skins) {
    if (!Measure(skin, rounds, &total)) std::printf("%4d failed to decode\n", skin.id);
  }
  std::printf("all %zu skins, %d rounds: ajpg %.1f Mpx/s, libjpeg %.1f Mpx/s, "
              "ajpg/libjpeg throughput %.3f\n",
              skins.size(), rounds, total.pixels / total.ajpgSeconds / 1e6,
              total.pixels / total.jpegSeconds / 1e6, total.jpegSeconds / total.ajpgSeconds);
  return 0;
}
