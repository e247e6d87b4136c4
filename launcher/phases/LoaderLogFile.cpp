#include "LoaderLogFile.h"

#include "LogLine.h"

namespace {

class Guard {
 public:
  explicit Guard(CRITICAL_SECTION* lock) : lock_(lock) { EnterCriticalSection(lock_); }
  ~Guard() { LeaveCriticalSection(lock_); }
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;

 private:
  CRITICAL_SECTION* lock_;
};

}  // namespace

LoaderLogFile::LoaderLogFile() { InitializeCriticalSection(&lock_); }

LoaderLogFile::~LoaderLogFile() {
  Close();
  DeleteCriticalSection(&lock_);
}

bool LoaderLogFile::Open(const std::string& path) {
  Guard guard(&lock_);
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  file_ = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return file_ != INVALID_HANDLE_VALUE;
}

bool LoaderLogFile::IsOpen() {
  Guard guard(&lock_);
  return file_ != INVALID_HANDLE_VALUE;
}

void LoaderLogFile::Close() {
  if (!IsOpen()) return;
  Write(0, "Exit log manager.");
  Guard guard(&lock_);
  CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
}

void LoaderLogFile::Write(int level, const char* text) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  std::string line = FormatLogLine(now, level, text != nullptr ? text : "");
  Guard guard(&lock_);
  if (file_ == INVALID_HANDLE_VALUE || line.empty()) return;
  DWORD written = 0;
  WriteFile(file_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}
