// Helpers of the package store tests: file systems over a temporary data
// folder, whole-content reads and the child process.
#pragma once

#include <windows.h>

#include <string>

#include "FileSystem.h"
#include "FileSystemFacade.h"
#include "store/PackageManager.h"
#include "TestSupport.h"

namespace StoreTest {

// A file system over folder in local (read-only) or update (writable) mode;
// null when it cannot be created.
FileSystem::FileSystem* OpenStore(const std::string& folder, bool updateMode,
                                  FileSystem::ILogSystem* log = nullptr,
                                  uint32_t maxPackageSize = 10485760,
                                  PackagePathNode* extra = nullptr);

// The whole content through Read, or "<null>" for a null file; releases it.
std::string ReadAll(FileSystem::IReadFile* file);
// The packaged content of a name, as ReadAll gives it.
std::string Read(FileSystem::FileSystem* fs, const char* name);
// The index's entry for a name; a test failure when there is none.
FileSystem::IndexedEntry Lookup(FileSystem::FileSystem* fs, const char* name);

// Self-verifying content of a name at a version (TestFixtures::EntryContent
// of its key), added stored with that version; and what reading it gives.
bool AddContent(FileSystem::FileSystem* fs, const char* name, uint32_t version);
std::string Expected(const char* name, uint32_t version);

// Starts the child fixture next to this test binary with the arguments; null
// on failure, with what failed in *failure when given.
HANDLE StartChild(const std::string& arguments, std::string* failure = nullptr);
// Runs the child to its end; its exit code, or -1.
int RunChild(const std::string& arguments);

uint64_t FileSizeOf(const std::string& path);

}  // namespace StoreTest
