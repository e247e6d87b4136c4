// Times the package store against its same-platform peers, run alternately
// in this one process (so in one Wine session), and prints for every row
// the median, minimum and maximum of the runs and the ratio of medians:
//   (a) 10,000 stored 4 KiB resources through IFileSystem::OpenFile+Read+
//       Release against the one-view-per-entry floor (the package mapped
//       once, then per entry one small view mapped, copied and unmapped,
//       nothing else; target: at most 1.05), CreateFile/ReadFile of the same
//       10,000 loose files, and fopen/fread of them;
//   (b) 64 MiB of LZO and of LZMA entries decoded through OpenFile against
//       the codec fed from a fresh view per entry, into a fresh buffer and
//       into one reused buffer (target: at least 0.9 of the reused-buffer
//       throughput), and against the codec on the bytes in memory.
//   store_bench [work folder] [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "EntryCodec.h"
#include "FileSystem.h"
#include "PackageImageWriter.h"

namespace {

constexpr uint32_t kSlotOffsetField = 12;  // an index slot's data offset

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

// One row: a name and the seconds of each run.
struct Row {
  std::string name;
  std::function<void()> run;
  std::vector<double> times;

  double Median() const {
    std::vector<double> t = times;
    std::sort(t.begin(), t.end());
    const size_t n = t.size();
    return n % 2 ? t[n / 2] : (t[n / 2 - 1] + t[n / 2]) / 2;
  }
  double Min() const { return *std::min_element(times.begin(), times.end()); }
  double Max() const { return *std::max_element(times.begin(), times.end()); }
};

// Every run of every row, the rows taking turns so that a slow moment of
// the machine falls on all of them alike.
// Each run starts at the next row, so that no row always follows the same
// one (and inherits what it left in the caches and the system's tables).
void RunAlternately(std::vector<Row>* rows, int runs) {
  for (Row& row : *rows) row.run();  // warm-up, not counted
  const size_t count = rows->size();
  for (int r = 0; r < runs; ++r) {
    for (size_t i = 0; i < count; ++i) {
      Row& row = (*rows)[(static_cast<size_t>(r) + i) % count];
      const double start = Now();
      row.run();
      row.times.push_back(Now() - start);
    }
  }
}

void Print(const char* title, const std::vector<Row>& rows, double mib) {
  std::printf("%s (%zu runs each; the library is the first row)\n", title, rows[0].times.size());
  for (const Row& row : rows) {
    std::printf("  %-44s median %7.3f s  min %7.3f  max %7.3f", row.name.c_str(), row.Median(),
                row.Min(), row.Max());
    if (mib > 0) std::printf("  %8.1f MiB/s", mib / row.Median());
    if (&row != &rows[0])
      std::printf("  library/peer %.3f", rows[0].Median() / row.Median());
    std::printf("\n");
  }
}

// The package mapped once, as the library holds it.
struct Package {
  HANDLE file = INVALID_HANDLE_VALUE;
  HANDLE mapping = nullptr;
  uint64_t granularity = 65536;

  explicit Package(const std::string& path) {
    file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
    mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    granularity = info.dwAllocationGranularity;
  }
  ~Package() {
    if (mapping != nullptr) CloseHandle(mapping);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  bool Ok() const { return mapping != nullptr; }
  // One view of [offset, offset + length): the data, and the base to unmap.
  const uint8_t* Map(uint64_t offset, uint32_t length, void** base) const {
    const uint64_t start = offset - offset % granularity;
    *base = MapViewOfFile(mapping, FILE_MAP_READ, static_cast<DWORD>(start >> 32),
                          static_cast<DWORD>(start), static_cast<SIZE_T>(offset - start + length));
    return *base != nullptr ? static_cast<const uint8_t*>(*base) + (offset - start) : nullptr;
  }
};

struct Entry {
  std::string name;
  uint32_t offset;
};

void StoredFiles(const std::string& root, int runs) {
  const std::string folder = root + "\\stored";
  CreateDirectoryA(folder.c_str(), nullptr);
  const int count = 10000;
  const uint32_t size = 4096;
  TestFixtures::PackageImageWriter image;
  std::vector<Entry> entries;
  std::vector<uint32_t> slots;
  for (int i = 0; i < count; ++i) {
    const std::string name = "res" + std::to_string(i) + ".bin";
    const std::string content = Content(i, size, false);
    slots.push_back(image.AddStored(name, 1, content));
    entries.push_back(Entry{name, 0});
    FILE* f = std::fopen((folder + "\\" + name).c_str(), "wb");
    std::fwrite(content.data(), content.size(), 1, f);
    std::fclose(f);
  }
  for (int i = 0; i < count; ++i) entries[i].offset = image.GetU32(slots[i] + kSlotOffsetField);
  image.WriteTo(folder + "\\data_1.pak");
  SetCurrentDirectoryA(folder.c_str());
  FileSystem::IFileSystem* fs = Open(folder);
  Package package(folder + "\\data_1.pak");
  if (fs == nullptr || !package.Ok()) {
    std::printf("(a) setup failed\n");
    return;
  }
  std::vector<char> buffer(size);
  uint64_t sum = 0;
  std::vector<Row> rows;
  rows.push_back(Row{"OpenFile+Read+Release", [&] {
    for (const Entry& e : entries) {
      FileSystem::IReadFile* file = fs->OpenFile(e.name.c_str(), 2, false, false);
      file->Read(buffer.data(), size);
      sum += static_cast<unsigned char>(buffer[7]);
      file->Release();
    }
  }, {}});
  rows.push_back(Row{"one view per entry: map, copy, unmap", [&] {
    for (const Entry& e : entries) {
      void* base = nullptr;
      const uint8_t* data = package.Map(e.offset, size, &base);
      std::memcpy(buffer.data(), data, size);
      sum += static_cast<unsigned char>(buffer[7]);
      UnmapViewOfFile(base);
    }
  }, {}});
  rows.push_back(Row{"CreateFile/ReadFile/CloseHandle loose files", [&] {
    for (const Entry& e : entries) {
      HANDLE f = CreateFileA(e.name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, 0, nullptr);
      DWORD read = 0;
      ReadFile(f, buffer.data(), size, &read, nullptr);
      sum += static_cast<unsigned char>(buffer[7]);
      CloseHandle(f);
    }
  }, {}});
  rows.push_back(Row{"fopen/fread/fclose loose files", [&] {
    for (const Entry& e : entries) {
      FILE* f = std::fopen(e.name.c_str(), "rb");
      std::fread(buffer.data(), size, 1, f);
      sum += static_cast<unsigned char>(buffer[7]);
      std::fclose(f);
    }
  }, {}});
  RunAlternately(&rows, runs);
  fs->Release();
  Print("(a) 10000 stored entries of 4 KiB", rows, 0);
  std::printf("  target: OpenFile <= 1.05 x one view per entry: %.3f %s [%llu]\n",
              rows[0].Median() / rows[1].Median(),
              rows[0].Median() / rows[1].Median() <= 1.05 ? "met" : "NOT met",
              static_cast<unsigned long long>(sum));
}

void Decoded(const std::string& root, int method, const char* label, int runs) {
  const std::string folder = root + "\\" + label;
  CreateDirectoryA(folder.c_str(), nullptr);
  const uint32_t chunk = 1u << 20;
  const int count = 64;
  const std::string content = Content(method, chunk, true);
  std::vector<uint8_t> encoded;
  FileSystem::EncodeEntry(method, reinterpret_cast<const uint8_t*>(content.data()), chunk,
                          &encoded);
  const std::string stored(encoded.begin(), encoded.end());
  const uint32_t storedSize = static_cast<uint32_t>(stored.size());
  TestFixtures::PackageImageWriter image;
  std::vector<Entry> entries;
  for (int i = 0; i < count; ++i) {
    const std::string name = "chunk" + std::to_string(i);
    const uint32_t slot = image.AddEntry(name, 1, stored, chunk, method);
    entries.push_back(Entry{name, image.GetU32(slot + kSlotOffsetField)});
  }
  image.WriteTo(folder + "\\data_1.pak");
  FileSystem::IFileSystem* fs = Open(folder);
  Package package(folder + "\\data_1.pak");
  if (fs == nullptr || !package.Ok()) {
    std::printf("(b) %s setup failed\n", label);
    return;
  }
  std::vector<uint8_t> reused(chunk + 1);
  bool ok = true;
  uint64_t sum = 0;
  std::vector<Row> rows;
  rows.push_back(Row{"OpenFile+Release", [&] {
    for (const Entry& e : entries) {
      FileSystem::IReadFile* file = fs->OpenFile(e.name.c_str(), 2, false, false);
      if (file == nullptr) {
        ok = false;
        continue;
      }
      sum += static_cast<unsigned char>(file->GetBuffer()[7]);
      file->Release();
    }
  }, {}});
  // A fresh view per entry, as the library takes one.
  auto viewed = [&](bool fresh) {
    for (const Entry& e : entries) {
      void* base = nullptr;
      const uint8_t* data = package.Map(e.offset, storedSize, &base);
      uint8_t* out = fresh ? static_cast<uint8_t*>(std::malloc(chunk + 1)) : reused.data();
      ok = FileSystem::DecodeEntry(method, data, storedSize, out, chunk) && ok;
      sum += out[7];
      if (fresh) std::free(out);
      UnmapViewOfFile(base);
    }
  };
  rows.push_back(Row{"codec from a fresh view into a reused buffer", [&] { viewed(false); }, {}});
  rows.push_back(Row{"codec from a fresh view into a fresh buffer", [&] { viewed(true); }, {}});
  rows.push_back(Row{"codec from memory into a reused buffer", [&] {
    for (const Entry& e : entries) {
      const uint8_t* data = reinterpret_cast<const uint8_t*>(image.Bytes().data() + e.offset);
      ok = FileSystem::DecodeEntry(method, data, storedSize, reused.data(), chunk) && ok;
      sum += reused[7];
    }
  }, {}});
  RunAlternately(&rows, runs);
  fs->Release();
  const std::string title = std::string("(b) 64 MiB of ") + label + " entries";
  Print(title.c_str(), rows, 64);
  const double share = rows[1].Median() / rows[0].Median();
  std::printf("  target: OpenFile >= 0.9 x the codec's throughput (reused buffer): %.3f %s%s"
              " [%llu]\n",
              share, share >= 0.9 ? "met" : "NOT met", ok ? "" : " DECODE FAILED",
              static_cast<unsigned long long>(sum));
}

}  // namespace

int main(int argc, char** argv) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string root = argc > 1 ? argv[1] : std::string(temp) + "store_bench";
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  CreateDirectoryA(root.c_str(), nullptr);
  StoredFiles(root, runs);
  Decoded(root, FileSystem::kMethodLzo, "lzo", runs);
  Decoded(root, FileSystem::kMethodLzma, "lzma", runs);
  return 0;
}
