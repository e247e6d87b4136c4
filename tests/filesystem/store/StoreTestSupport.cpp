#include "StoreTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

#include "PackageImageWriter.h"

namespace StoreTest {

FileSystem::FileSystem* OpenStore(const std::string& folder, bool updateMode,
                                  FileSystem::ILogSystem* log, uint32_t maxPackageSize,
                                  PackagePathNode* extra) {
  FileSystemParams params;
  std::memset(&params, 0, sizeof params);
  params.size = 60;
  params.version = 1;
  params.productName = "storetest";
  params.dataFolder = folder.c_str();
  params.packageBaseName = "data";
  params.packageExtension = "pak";
  params.maxPackageSize = maxPackageSize;
  params.extraPackages = extra;
  params.logSystem = log;
  params.updateMode = updateMode ? 1 : 0;
  return static_cast<FileSystem::FileSystem*>(FileSystem::Create(&params));
}

std::string ReadAll(FileSystem::IReadFile* file) {
  if (file == nullptr) return "<null>";
  std::string content(static_cast<size_t>(file->GetSize()), '\0');
  const bool ok = content.empty() || file->Read(&content[0], static_cast<uint32_t>(content.size()));
  file->Release();
  return ok ? content : "<short>";
}

std::string Read(FileSystem::FileSystem* fs, const char* name) {
  return ReadAll(fs->Packages().OpenPackagedFile(FileSystem::HashResourceName(name), name, false));
}

FileSystem::IndexedEntry Lookup(FileSystem::FileSystem* fs, const char* name) {
  FileSystem::IndexedEntry found{};
  EXPECT_TRUE(fs->Packages().LookupEntry(FileSystem::HashResourceName(name), &found)) << name;
  return found;
}

bool AddContent(FileSystem::FileSystem* fs, const char* name, uint32_t version) {
  const FileSystem::ResourceKey key = FileSystem::HashResourceName(name);
  const std::string content = TestFixtures::EntryContent(key.hash1, version);
  const uint32_t n = static_cast<uint32_t>(content.size());
  return fs->Packages().AddFile(key, version, 0, 0, 0, n, content.data(), n, n);
}

std::string Expected(const char* name, uint32_t version) {
  return TestFixtures::EntryContent(FileSystem::HashResourceName(name).hash1, version);
}

HANDLE StartChild(const std::string& arguments, std::string* failure) {
  return TestSupport::StartProgram("store_child.exe", arguments, failure);
}

int RunChild(const std::string& arguments) {
  return TestSupport::RunProgram("store_child.exe", arguments);
}

uint64_t FileSizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace StoreTest
