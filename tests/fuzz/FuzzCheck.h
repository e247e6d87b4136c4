// What every fuzz target shares: an invariant check that stops the run with
// the failed condition (libFuzzer and the replay driver both report an abort
// as a crash and keep the input), and an exact-size copy of the input so
// that the sanitizer sees a read one byte past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

namespace FuzzSupport {

// The bytes in a heap block of exactly their size (one byte for none, which
// is never read).
class ExactCopy {
 public:
  ExactCopy(const uint8_t* data, size_t size)
      : bytes_(new uint8_t[size ? size : 1]), size_(size) {
    for (size_t i = 0; i < size; ++i) bytes_[i] = data[i];
  }
  const uint8_t* Data() const { return bytes_.get(); }
  size_t Size() const { return size_; }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  size_t size_;
};

inline std::string Text(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// Cuts the text at the first LF into *head and the rest.
inline std::string TakeLine(std::string* text) {
  const size_t lf = text->find('\n');
  std::string line = text->substr(0, lf);
  *text = lf == std::string::npos ? std::string() : text->substr(lf + 1);
  return line;
}

}  // namespace FuzzSupport
