// Driver for compilers without libFuzzer: runs the fuzz target over the
// files named on the command line, or, without arguments, over a fixed set
// of generated inputs: noise, and valid streams with bytes flipped, cut or
// sizes changed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "EntryCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t len);

namespace {

uint32_t g_state = 2463534242u;

uint32_t Next() {
  g_state ^= g_state << 13;
  g_state ^= g_state >> 17;
  g_state ^= g_state << 5;
  return g_state;
}

std::vector<uint8_t> Content(size_t n) {
  static const char* const kWords[] = {"index ", "block ", "entry ", "lzma ", "data "};
  std::vector<uint8_t> b;
  while (b.size() < n) {
    const char* w = kWords[Next() % 5];
    while (*w) b.push_back(static_cast<uint8_t>(*w++));
  }
  b.resize(n);
  return b;
}

void RunFile(const char* path) {
  std::vector<uint8_t> data;
  if (FILE* f = std::fopen(path, "rb")) {
    int c;
    while ((c = std::fgetc(f)) != EOF) data.push_back(static_cast<uint8_t>(c));
    std::fclose(f);
  }
  LLVMFuzzerTestOneInput(data.data(), data.size());
}

// A few valid streams per method, made once: encoding an LZMA block sets up
// a 16 MiB dictionary, so the mutations work on copies.
std::vector<std::vector<uint8_t>> ValidStreams(int method, std::vector<uint32_t>* sizes) {
  std::vector<std::vector<uint8_t>> streams;
  for (uint32_t size : {40u, 300u, 1000u, 2999u}) {
    const std::vector<uint8_t> content = Content(size);
    std::vector<uint8_t> stored;
    if (FileSystem::EncodeEntry(method, content.data(), size, &stored) != method) continue;
    streams.push_back(stored);
    sizes->push_back(size);
  }
  return streams;
}

void RunGenerated() {
  std::vector<uint32_t> sizes[2];
  const std::vector<std::vector<uint8_t>> valid[2] = {
      ValidStreams(FileSystem::kMethodLzo, &sizes[0]),
      ValidStreams(FileSystem::kMethodLzma, &sizes[1])};
  for (int i = 0; i < 3000; ++i) {
    const int m = i & 1;
    std::vector<uint8_t> stored;
    uint32_t size = Next() % 3000;
    if (i % 3 == 0 || valid[m].empty()) {
      stored.resize(Next() % 600);
      for (auto& b : stored) b = static_cast<uint8_t>(Next());
    } else {
      const size_t pick = Next() % valid[m].size();
      stored = valid[m][pick];
      size = sizes[m][pick];
      const uint32_t flips = Next() % 4;
      for (uint32_t k = 0; k < flips && !stored.empty(); ++k)
        stored[Next() % stored.size()] ^= static_cast<uint8_t>(1 + Next() % 255);
      if (Next() % 4 == 0 && !stored.empty()) stored.resize(Next() % stored.size());
    }
    const uint32_t claimed = (Next() % 8 == 0) ? Next() % 4000 : size;
    std::vector<uint8_t> input{static_cast<uint8_t>(m | ((i % 5 == 0) ? 2 : 0)),
                               static_cast<uint8_t>(claimed), static_cast<uint8_t>(claimed >> 8)};
    input.insert(input.end(), stored.begin(), stored.end());
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    for (int i = 1; i < argc; ++i) RunFile(argv[i]);
  } else {
    RunGenerated();
  }
  std::puts("fuzz inputs ran clean");
  return 0;
}
