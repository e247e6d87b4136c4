#include "StoreTestSupport.h"

#include <cstring>
#include <vector>

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

std::string ChildPath() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string self(path, n);
  const size_t slash = self.find_last_of("\\/");
  return self.substr(0, slash + 1) + "store_child.exe";
}

HANDLE StartChild(const std::string& arguments) {
  std::string command = "\"" + ChildPath() + "\" " + arguments;
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return nullptr;
  CloseHandle(info.hThread);
  return info.hProcess;
}

int RunChild(const std::string& arguments) {
  HANDLE process = StartChild(arguments);
  if (process == nullptr) return -1;
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return static_cast<int>(code);
}

uint64_t FileSizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace StoreTest
