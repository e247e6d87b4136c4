// Prints how fast entries encode and decode with each method and how much
// they shrink, over text-like content of a few sizes.
//   codecbench [repeats]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "EntryCodec.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<uint8_t> Content(size_t n) {
  static const char* const kWords[] = {"texture ", "model ", "sound ", "level ", "script ",
                                       "0042 ",    "\n",     "{ x = 1; } "};
  uint32_t x = 12345;
  std::vector<uint8_t> b;
  while (b.size() < n) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    const char* w = kWords[x % 8];
    b.insert(b.end(), w, w + std::strlen(w));
  }
  b.resize(n);
  return b;
}

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

void Measure(int method, const std::vector<uint8_t>& content, int repeats) {
  const uint32_t size = static_cast<uint32_t>(content.size());
  std::vector<uint8_t> stored;
  int used = 0;
  const Clock::time_point encodeStart = Clock::now();
  for (int i = 0; i < repeats; ++i) used = FileSystem::EncodeEntry(method, content.data(), size, &stored);
  const double encode = Seconds(encodeStart) / repeats;

  std::vector<uint8_t> out(size);
  bool ok = true;
  const Clock::time_point decodeStart = Clock::now();
  for (int i = 0; i < repeats && used != FileSystem::kMethodStored; ++i)
    ok = ok && FileSystem::DecodeEntry(used, stored.data(), static_cast<uint32_t>(stored.size()),
                                       out.data(), size);
  const double decode = Seconds(decodeStart) / repeats;
  const double mib = size / 1048576.0;
  std::printf("method %d  %8u bytes -> %8zu (%5.1f%%)  encode %8.2f MiB/s  decode %8.2f MiB/s%s\n",
              used, size, stored.size(), 100.0 * stored.size() / size, mib / encode,
              used == FileSystem::kMethodStored ? 0.0 : mib / decode, ok ? "" : "  DECODE FAILED");
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::atoi(argv[1]) : 3;
  for (size_t size : {4096u, 65536u, 1048576u, 8388608u}) {
    const std::vector<uint8_t> content = Content(size);
    Measure(FileSystem::kMethodLzo, content, repeats > 0 ? repeats : 1);
    Measure(FileSystem::kMethodLzma, content, repeats > 0 ? repeats : 1);
  }
  return 0;
}
