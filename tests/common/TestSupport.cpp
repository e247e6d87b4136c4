#include "TestSupport.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace TestSupport {

void RecordingLog::Log(int level, const char* text) {
  FileSystem::ScopedLock guard(lock_);
  lines_.push_back(LogLine{level, text});
}

std::vector<LogLine> RecordingLog::Lines() {
  FileSystem::ScopedLock guard(lock_);
  return lines_;
}

std::vector<std::string> RecordingLog::Texts() {
  FileSystem::ScopedLock guard(lock_);
  std::vector<std::string> texts;
  for (const LogLine& line : lines_) texts.push_back(line.text);
  return texts;
}

bool RecordingLog::Contains(const std::string& text) {
  FileSystem::ScopedLock guard(lock_);
  for (const LogLine& line : lines_)
    if (line.text == text) return true;
  return false;
}

void RecordingLog::Clear() {
  FileSystem::ScopedLock guard(lock_);
  lines_.clear();
}

namespace {

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const std::string child = path + "\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  RemoveDirectoryA(path.c_str());
}

}  // namespace

TempFolder::TempFolder() {
  char base[MAX_PATH];
  GetTempPathA(sizeof base, base);
  static LONG counter = 0;
  char name[MAX_PATH];
  snprintf(name, sizeof name, "%svelmortest_%lu_%ld_%lu", base, GetCurrentProcessId(),
           InterlockedIncrement(&counter), GetTickCount());
  path_ = name;
  CreateDirectoryA(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() { RemoveTree(path_); }

std::string TempFolder::File(const std::string& name) const { return path_ + "\\" + name; }

std::string Compressible(size_t n) {
  std::string s;
  while (s.size() < n) s += "all work and no play makes a dull package. ";
  s.resize(n);
  return s;
}

std::string Random(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  for (char& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 23);
  }
  return s;
}

HANDLE StartProgram(const std::string& fileName, const std::string& arguments,
                    std::string* failure) {
  char self[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) {
    if (failure != nullptr) *failure = "cannot name the running test binary";
    return nullptr;
  }
  const std::string path(self, n);
  const std::string folder = path.substr(0, path.find_last_of("\\/") + 1);
  const std::string command = "\"" + folder + fileName + "\" " + arguments;
  // A machine under load now and then refuses a process start for a moment
  // (out of resources, a busy wineserver): a few more tries with a growing
  // pause tell that apart from a program that cannot start at all.
  std::string errors;
  for (int attempt = 1; attempt <= kStartAttempts; ++attempt) {
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &info)) {
      CloseHandle(info.hThread);
      if (attempt > 1) std::fprintf(stderr, "%s started at attempt %d after: %s\n",
                                    fileName.c_str(), attempt, errors.c_str());
      return info.hProcess;
    }
    const DWORD error = GetLastError();
    errors += (errors.empty() ? "" : ", ") + std::string("attempt ") + std::to_string(attempt) +
              " error " + std::to_string(error);
    std::fprintf(stderr, "CreateProcess of %s failed, attempt %d of %d, error %lu\n",
                 fileName.c_str(), attempt, kStartAttempts, error);
    if (attempt < kStartAttempts) Sleep(100u * static_cast<DWORD>(attempt));
  }
  if (failure != nullptr) *failure = "CreateProcess of " + command + " failed: " + errors;
  return nullptr;
}

int RunProgram(const std::string& fileName, const std::string& arguments) {
  HANDLE process = StartProgram(fileName, arguments);
  if (process == nullptr) return -1;
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return static_cast<int>(code);
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = bytes.empty() || fwrite(bytes.data(), bytes.size(), 1, file) == 1;
  return fclose(file) == 0 && ok;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bytes->clear();
  char chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) bytes->append(chunk, n);
  const bool ok = ferror(file) == 0;
  fclose(file);
  return ok;
}

}  // namespace TestSupport
