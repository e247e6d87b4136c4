// publisher <manifest> <resource folder> <output folder>
// Writes the download-server tree of the product the manifest describes
// (format: PublisherManifest.cpp) and lists the packages it wrote.
#include <cstdio>
#include <string>
#include <vector>

#include "DownloadTreeBuilder.h"
#include "PublisherManifest.h"

namespace {

bool ReadText(const char* path, std::string* text) {
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  char chunk[4096];
  size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof(chunk), file)) > 0) text->append(chunk, n);
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: publisher <manifest> <resource folder> <output folder>\n");
    return 2;
  }
  std::string text;
  if (!ReadText(argv[1], &text)) {
    std::fprintf(stderr, "publisher: cannot read %s\n", argv[1]);
    return 1;
  }
  Publisher::Manifest manifest;
  std::string error;
  if (!Publisher::ParseManifest(text, &manifest, &error)) {
    std::fprintf(stderr, "publisher: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  Publisher::DownloadTreeBuilder builder(manifest, argv[2]);
  Publisher::DownloadTree tree;
  if (!builder.Build(&tree, &error) ||
      !Publisher::DownloadTreeBuilder::WriteTree(tree, argv[3], &error)) {
    std::fprintf(stderr, "publisher: %s\n", error.c_str());
    return 1;
  }
  for (const auto& package : tree) {
    std::printf("%s %u\n", package.first.c_str(), static_cast<unsigned>(package.second.size()));
  }
  std::printf("%s: %u packages, version.pcfg at version %u\n", manifest.product.c_str(),
              static_cast<unsigned>(tree.size()), static_cast<unsigned>(manifest.serverVersion));
  return 0;
}
