// Driver for compilers without libFuzzer: runs a fuzz target over the files
// and folders named on the command line, each file as it is and then in a
// fixed series of mutations (bytes flipped, cut, inserted, 32-bit fields set
// to edge values, pieces repeated), and over some noise. The same inputs on
// every run, so a failure here is reproducible from its corpus file.
//   <target> [-mutations=N] file-or-folder...
#include <sanitizer/common_interface_defs.h>

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t len);

namespace {

class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed ? seed : 2463534242u) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  uint32_t Below(size_t n) { return n ? static_cast<uint32_t>(Next() % n) : 0; }

 private:
  uint32_t state_;
};

uint32_t SeedOf(const std::vector<uint8_t>& bytes) {
  uint32_t h = 2166136261u;
  for (uint8_t b : bytes) h = (h ^ b) * 16777619u;
  return h;
}

void PutU32(std::vector<uint8_t>* bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4 && at + i < bytes->size(); ++i)
    (*bytes)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void Mutate(Random* random, std::vector<uint8_t>* bytes) {
  const uint32_t size = static_cast<uint32_t>(bytes->size());
  const uint32_t edges[] = {0, 1, 2, 12, 27, 28, 0x7F, 0xFF, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF,
                            size, size - 1, size + 1, size - 12};
  switch (random->Below(6)) {
    case 0:
      for (uint32_t k = 1 + random->Below(4); k > 0 && !bytes->empty(); --k)
        (*bytes)[random->Below(bytes->size())] ^= static_cast<uint8_t>(1 + random->Below(255));
      break;
    case 1:
      if (!bytes->empty()) bytes->resize(random->Below(bytes->size()));
      break;
    case 2:
      bytes->insert(bytes->begin() + random->Below(bytes->size() + 1),
                    static_cast<uint8_t>(random->Next()));
      break;
    case 3:
      if (!bytes->empty())
        PutU32(bytes, random->Below(bytes->size()), edges[random->Below(std::size(edges))]);
      break;
    case 4:
      if (!bytes->empty()) {
        const size_t from = random->Below(bytes->size());
        const size_t count = 1 + random->Below(bytes->size() - from);
        const std::vector<uint8_t> piece(bytes->begin() + from, bytes->begin() + from + count);
        bytes->insert(bytes->begin() + random->Below(bytes->size() + 1), piece.begin(), piece.end());
      }
      break;
    default:
      if (!bytes->empty()) bytes->erase(bytes->begin() + random->Below(bytes->size()));
      break;
  }
}

// The input that is running, written to "replay-crash" in the working folder
// when a check or a sanitizer ends the run, so that it can join the corpus.
const std::vector<uint8_t>* g_running = nullptr;

void SaveRunning() {
  if (g_running == nullptr) return;
  if (FILE* f = std::fopen("replay-crash", "wb")) {
    std::fwrite(g_running->data(), 1, g_running->size(), f);
    std::fclose(f);
    std::fprintf(stderr, "input written to replay-crash (%zu bytes)\n", g_running->size());
  }
  g_running = nullptr;
}

void OnAbort(int) {
  SaveRunning();
  std::signal(SIGABRT, SIG_DFL);
  std::raise(SIGABRT);
}

void Run(const std::vector<uint8_t>& bytes) {
  g_running = &bytes;
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  g_running = nullptr;
}

void RunFile(const std::string& path, int mutations, size_t* inputs) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> seed((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  Run(seed);
  Random random(SeedOf(seed));
  for (int i = 0; i < mutations; ++i) {
    std::vector<uint8_t> mutated = seed;
    for (uint32_t k = 1 + random.Below(3); k > 0; --k) Mutate(&random, &mutated);
    Run(mutated);
  }
  *inputs += 1 + mutations;
}

void RunNoise(size_t* inputs) {
  Random random(1);
  for (int i = 0; i < 200; ++i) {
    std::vector<uint8_t> noise(random.Below(300));
    for (auto& b : noise) b = static_cast<uint8_t>(random.Next());
    Run(noise);
  }
  *inputs += 200;
}

}  // namespace

int main(int argc, char** argv) {
  int mutations = 300;
  size_t inputs = 0;
  size_t files = 0;
  std::signal(SIGABRT, OnAbort);
  __sanitizer_set_death_callback(SaveRunning);
  RunNoise(&inputs);
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "-mutations=", 11) == 0) {
      mutations = std::atoi(argv[i] + 11);
      continue;
    }
    std::error_code error;
    if (std::filesystem::is_directory(argv[i], error)) {
      for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
        if (!entry.is_regular_file()) continue;
        RunFile(entry.path().string(), mutations, &inputs);
        ++files;
      }
    } else {
      RunFile(argv[i], mutations, &inputs);
      ++files;
    }
  }
  std::printf("fuzz inputs ran clean: %zu inputs from %zu files\n", inputs, files);
  return 0;
}
