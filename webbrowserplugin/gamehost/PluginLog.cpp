#include "PluginLog.h"

#include <windows.h>
#include <shlobj.h>

#include "LogLine.h"

namespace {

// Every host of the process and the file system threads share one handle:
// opening the file once keeps the lines of one instance from being cut off
// by another instance's truncating open.
class LogFile {
 public:
  LogFile() : file_(INVALID_HANDLE_VALUE), users_(0), openedBefore_(false) {
    InitializeCriticalSection(&lock_);
  }
  ~LogFile() {
    Close();
    DeleteCriticalSection(&lock_);
  }

  bool Write(int level, const std::string& message, bool lowFolder) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::string line = FormatLogLine(now, level, message);
    if (line.empty()) return false;
    Guard guard(&lock_);
    if (file_ == INVALID_HANDLE_VALUE && !Open(lowFolder)) return false;
    DWORD written = 0;
    if (!WriteFile(file_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
        written != line.size()) {
      return false;
    }
    FlushFileBuffers(file_);
    return true;
  }

  void AddUser() {
    Guard guard(&lock_);
    ++users_;
  }

  void ReleaseUser() {
    Guard guard(&lock_);
    if (users_ > 0 && --users_ == 0) Close();
  }

  std::string CurrentPath() {
    Guard guard(&lock_);
    return file_ == INVALID_HANDLE_VALUE ? std::string() : path_;
  }

  void SetBaseFolder(const std::string& folder) {
    Guard guard(&lock_);
    baseOverride_ = folder;
  }

 private:
  class Guard {
   public:
    explicit Guard(CRITICAL_SECTION* lock) : lock_(lock) { EnterCriticalSection(lock_); }
    ~Guard() { LeaveCriticalSection(lock_); }

   private:
    CRITICAL_SECTION* lock_;
  };

  static bool EndsInSeparator(const std::string& text) {
    return !text.empty() && (text.back() == '\\' || text.back() == '/');
  }

  bool BaseFolder(bool lowFolder, std::string* base) {
    if (!baseOverride_.empty()) {
      *base = baseOverride_;
    } else {
      char buffer[2048];
      buffer[0] = '\0';
      int folder = lowFolder ? CSIDL_INTERNET_CACHE : CSIDL_LOCAL_APPDATA;
      if (!SHGetSpecialFolderPathA(nullptr, buffer, folder, TRUE)) return false;
      buffer[sizeof buffer - 1] = '\0';
      *base = buffer;
      if (base->empty()) return false;
      if (lowFolder) {
        if (!EndsInSeparator(*base)) *base += '\\';
        *base += "Low";
        CreateDirectoryA(base->c_str(), nullptr);
      }
    }
    if (!EndsInSeparator(*base)) *base += '\\';
    return true;
  }

  bool Open(bool lowFolder) {
    std::string path;
    if (!BaseFolder(lowFolder, &path)) return false;
    path += "dorvgame";
    CreateDirectoryA(path.c_str(), nullptr);
    path += "\\kvtplayer";
    CreateDirectoryA(path.c_str(), nullptr);
    path += "\\kvtplayer.log";
    // The first opening of the process starts the file afresh; a later one
    // (after every host let go) goes on at its end.
    DWORD disposition = openedBefore_ ? OPEN_ALWAYS : CREATE_ALWAYS;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    SetFilePointer(file, 0, nullptr, FILE_END);
    file_ = file;
    path_ = path;
    openedBefore_ = true;
    return true;
  }

  void Close() {
    if (file_ != INVALID_HANDLE_VALUE) {
      CloseHandle(file_);
      file_ = INVALID_HANDLE_VALUE;
    }
  }

  CRITICAL_SECTION lock_;
  HANDLE file_;
  int users_;
  bool openedBefore_;
  std::string path_;
  std::string baseOverride_;
};

LogFile& TheLog() {
  static LogFile log;
  return log;
}

// Construct the log before any second thread can reach it.
struct EarlyConstruction {
  EarlyConstruction() { TheLog(); }
} earlyConstruction;

}  // namespace

namespace PluginLog {

bool Write(int level, const std::string& message, bool lowFolder) {
  return TheLog().Write(level, message, lowFolder);
}

void AddUser() { TheLog().AddUser(); }
void ReleaseUser() { TheLog().ReleaseUser(); }
std::string CurrentPath() { return TheLog().CurrentPath(); }
void SetBaseFolderForTesting(const std::string& folder) { TheLog().SetBaseFolder(folder); }

}  // namespace PluginLog
