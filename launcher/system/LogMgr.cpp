#include "LogMgr.h"

#include <windows.h>

#include "LauncherFolders.h"
#include "LogLine.h"
#include "ShellLinks.h"
#include "StandardOutput.h"
#include "CodePageConversion.h"

const char* const LogMgr::kFileName = "gameupdater.log";

namespace {

// A message that already ends in CR LF keeps it; the shared rule handles
// every other ending.
std::string EndLine(const std::string& message) {
  size_t n = message.size();
  if (n >= 2 && message[n - 2] == '\r' && message[n - 1] == '\n') return message;
  return WithLogLineEnd(message);
}

}  // namespace

LogMgr::LogMgr() = default;

LogMgr::~LogMgr() { Close(); }

bool LogMgr::Init() { return Init(GetLocalDataFolder()); }

bool LogMgr::Init(const std::string& folder) {
  FILE* file = nullptr;
  std::string path;
  if (!folder.empty()) {
    std::wstring wideFolder;
    if (ToWideString(folder, CP_ACP, &wideFolder)) CreateFolderChain(wideFolder.c_str());
    path = WithTrailingSeparator(folder) + kFileName;
    file = std::fopen(path.c_str(), "wb");
  }
  {
    LauncherLockGuard hold(lock_);
    if (file_) std::fclose(file_);
    file_ = file;
    path_ = path;
  }
  if (!file) {
    Log(0, "Exit log manager.");
    return false;
  }
  SetLevels(false, false, true);
  Log(0, "Init log manager \"%s\" success.", kFileName);
  return true;
}

bool LogMgr::Log(int level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  bool ok = LogV(level, format, args);
  va_end(args);
  return ok;
}

bool LogMgr::LogV(int level, const char* format, va_list args) {
  if (!format || level < 0 || level > 2) return false;
  char buffer[4096];
  int length = _vsnprintf(buffer, kMaxMessageLength + 1, format, args);
  if (length < 0 || length > kMaxMessageLength) return false;
  std::string text = EndLine(std::string(buffer, size_t(length)));
  SYSTEMTIME now;
  GetLocalTime(&now);
  std::string prefix = FormatLogPrefix(now, level);
  if (prefix.empty()) return false;
  LauncherLockGuard hold(lock_);
  if (file_ && levels_[level]) {
    std::fwrite(prefix.data(), 1, prefix.size(), file_);
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fflush(file_);
  }
  if (PrepareStandardOutput() != StandardOutputUse::Skip)
    std::printf("%s%s", prefix.c_str(), text.c_str());
  return true;
}

bool LogMgr::LogText(int level, const char* text) {
  if (!text) return false;
  return Log(level, "%s", text);
}

void LogMgr::SetLevels(bool information, bool warning, bool error) {
  LauncherLockGuard hold(lock_);
  levels_[0] = information;
  levels_[1] = warning;
  levels_[2] = error;
}

void LogMgr::Close() {
  Log(0, "Exit log manager.");
  std::fflush(stdout);
  LauncherLockGuard hold(lock_);
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

bool LogMgr::IsOpen() {
  LauncherLockGuard hold(lock_);
  return file_ != nullptr;
}

std::string LogMgr::GetPath() {
  LauncherLockGuard hold(lock_);
  return path_;
}
