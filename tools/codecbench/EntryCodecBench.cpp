// Prints how fast entries encode and decode with each method and how much
// they shrink, over text-like content of a few sizes; decoding into a
// reused and into a fresh buffer, with the median, minimum and maximum of
// the repeats.
//   codecbench [repeats]
#include <algorithm>
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

double Median(std::vector<double> t) {
  std::sort(t.begin(), t.end());
  const size_t n = t.size();
  return n % 2 ? t[n / 2] : (t[n / 2 - 1] + t[n / 2]) / 2;
}

// Decoding runs alternately into one reused buffer and into a fresh heap
// block per decode, as a reader without a pool of buffers would: the gap is
// what fresh pages cost on this platform.
void Measure(int method, const std::vector<uint8_t>& content, int repeats) {
  const uint32_t size = static_cast<uint32_t>(content.size());
  std::vector<uint8_t> stored;
  int used = 0;
  const Clock::time_point encodeStart = Clock::now();
  for (int i = 0; i < repeats; ++i) used = FileSystem::EncodeEntry(method, content.data(), size, &stored);
  const double encode = Seconds(encodeStart) / repeats;
  const double mib = size / 1048576.0;
  std::printf("method %d  %8u bytes -> %8zu (%5.1f%%)  encode %8.2f MiB/s\n", used, size,
              stored.size(), 100.0 * stored.size() / size, mib / encode);
  if (used == FileSystem::kMethodStored) return;

  std::vector<uint8_t> reused(size + 1);
  std::vector<double> intoReused, intoFresh;
  bool ok = true;
  const uint32_t storedLen = static_cast<uint32_t>(stored.size());
  for (int i = 0; i < repeats; ++i) {
    Clock::time_point start = Clock::now();
    ok = FileSystem::DecodeEntry(used, stored.data(), storedLen, reused.data(), size) && ok;
    intoReused.push_back(Seconds(start));
    start = Clock::now();
    uint8_t* fresh = static_cast<uint8_t*>(std::malloc(size_t{size} + 1));
    ok = fresh != nullptr && FileSystem::DecodeEntry(used, stored.data(), storedLen, fresh, size) &&
         ok;
    std::free(fresh);
    intoFresh.push_back(Seconds(start));
  }
  for (const auto& row : {std::make_pair("reused buffer", &intoReused),
                          std::make_pair("fresh buffer ", &intoFresh)}) {
    const std::vector<double>& t = *row.second;
    std::printf("    decode into a %s median %8.2f MiB/s  min %8.2f  max %8.2f", row.first,
                mib / Median(t), mib / *std::max_element(t.begin(), t.end()),
                mib / *std::min_element(t.begin(), t.end()));
    if (row.second == &intoFresh)
      std::printf("  fresh/reused throughput %.3f", Median(intoReused) / Median(intoFresh));
    std::printf("%s\n", ok ? "" : "  DECODE FAILED");
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::atoi(argv[1]) : 7;
  for (size_t size : {4096u, 65536u, 1048576u, 8388608u}) {
    const std::vector<uint8_t> content = Content(size);
    Measure(FileSystem::kMethodLzo, content, repeats > 0 ? repeats : 1);
    Measure(FileSystem::kMethodLzma, content, repeats > 0 ? repeats : 1);
  }
  return 0;
}
