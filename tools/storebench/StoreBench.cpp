// Times the package store against the plain alternatives and prints ratios:
//   (a) 10,000 stored 4 KiB resources through IFileSystem::OpenFile against
//       fopen/fread of the same 10,000 loose files (target: at most 1.0);
//   (b) 64 MiB of LZO and of LZMA entries decoded through OpenFile against
//       the codec called directly on the same buffers (target: at least 0.9
//       of the codec's own throughput).
//   store_bench [work folder]
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "EntryCodec.h"
#include "FileSystem.h"
#include "PackageImageWriter.h"

namespace {

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

FileSystem::IFileSystem* Open(const std::string& folder) {
  FileSystemParams params;
  std::memset(&params, 0, sizeof params);
  params.size = 60;
  params.version = 1;
  params.dataFolder = folder.c_str();
  params.packageBaseName = "data";
  params.packageExtension = "pak";
  return FileSystem::Create(&params);
}

std::string Content(uint32_t seed, size_t n, bool compressible) {
  std::string s(n, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < n; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    s[i] = compressible ? static_cast<char>('a' + (x % 7) + ((i / 64) % 3)) : static_cast<char>(x);
  }
  return s;
}

void StoredFiles(const std::string& root) {
  const std::string folder = root + "\\stored";
  CreateDirectoryA(folder.c_str(), nullptr);
  const int count = 10000;
  TestFixtures::PackageImageWriter image;
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    names.push_back("res" + std::to_string(i) + ".bin");
    const std::string content = Content(i, 4096, false);
    image.AddStored(names.back(), 1, content);
    FILE* f = std::fopen((folder + "\\" + names.back()).c_str(), "wb");
    std::fwrite(content.data(), content.size(), 1, f);
    std::fclose(f);
  }
  image.WriteTo(folder + "\\data_1.pak");
  SetCurrentDirectoryA(folder.c_str());
  FileSystem::IFileSystem* fs = Open(folder);
  std::vector<char> buffer(4096);
  uint64_t sum = 0;
  double best = 1e9, bestLoose = 1e9;
  for (int round = 0; round < 3; ++round) {
    double start = Now();
    for (const std::string& name : names) {
      FileSystem::IReadFile* file = fs->OpenFile(name.c_str(), 2, false, false);
      file->Read(buffer.data(), 4096);
      sum += static_cast<unsigned char>(buffer[7]);
      file->Release();
    }
    const double packaged = Now() - start;
    start = Now();
    for (const std::string& name : names) {
      FILE* f = std::fopen(name.c_str(), "rb");
      std::fread(buffer.data(), 4096, 1, f);
      sum += static_cast<unsigned char>(buffer[7]);
      std::fclose(f);
    }
    const double loose = Now() - start;
    if (packaged < best) best = packaged;
    if (loose < bestLoose) bestLoose = loose;
  }
  fs->Release();
  std::printf("(a) 10000 x 4 KiB: OpenFile %.3f s, fopen/fread %.3f s, ratio %.3f (target <= 1.0)"
              " [%llu]\n",
              best, bestLoose, best / bestLoose, static_cast<unsigned long long>(sum));
}

void Decoded(const std::string& root, int method, const char* label) {
  const std::string folder = root + "\\" + label;
  CreateDirectoryA(folder.c_str(), nullptr);
  const uint32_t chunk = 1u << 20;
  const int count = 64;
  const std::string content = Content(method, chunk, true);
  std::vector<uint8_t> encoded;
  FileSystem::EncodeEntry(method, reinterpret_cast<const uint8_t*>(content.data()), chunk,
                          &encoded);
  const std::string stored(encoded.begin(), encoded.end());
  TestFixtures::PackageImageWriter image;
  for (int i = 0; i < count; ++i)
    image.AddEntry("chunk" + std::to_string(i), 1, stored, chunk, method);
  image.WriteTo(folder + "\\data_1.pak");
  FileSystem::IFileSystem* fs = Open(folder);
  std::vector<uint8_t> out(chunk + 1);
  double bestOpen = 1e9, bestDirect = 1e9;
  for (int round = 0; round < 3; ++round) {
    double start = Now();
    for (int i = 0; i < count; ++i) {
      FileSystem::IReadFile* file =
          fs->OpenFile(("chunk" + std::to_string(i)).c_str(), 2, false, false);
      if (file == nullptr) {
        std::printf("open failed\n");
        return;
      }
      file->Release();
    }
    const double open = Now() - start;
    start = Now();
    for (int i = 0; i < count; ++i) {
      // The same stored bytes, as the package holds them.
      FileSystem::DecodeEntry(method, reinterpret_cast<const uint8_t*>(
                                          image.Bytes().data() + 28024 + i * stored.size()),
                              static_cast<uint32_t>(stored.size()), out.data(), chunk);
    }
    const double direct = Now() - start;
    if (open < bestOpen) bestOpen = open;
    if (direct < bestDirect) bestDirect = direct;
  }
  fs->Release();
  std::printf("(b) %s 64 MiB: OpenFile %.3f s (%.1f MiB/s), codec %.3f s (%.1f MiB/s), "
              "ratio %.3f (target >= 0.9)\n",
              label, bestOpen, 64 / bestOpen, bestDirect, 64 / bestDirect, bestDirect / bestOpen);
}

}  // namespace

int main(int argc, char** argv) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string root = argc > 1 ? argv[1] : std::string(temp) + "store_bench";
  CreateDirectoryA(root.c_str(), nullptr);
  StoredFiles(root);
  Decoded(root, 1, "lzo");
  Decoded(root, 2, "lzma");
  return 0;
}
