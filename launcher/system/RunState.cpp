#include "RunState.h"

#include <windows.h>

#include <cstdio>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Every folder of the path, from the drive down.
void CreateFolders(const std::string& folder) {
  for (size_t i = 0; i < folder.size(); ++i) {
    if (!IsSeparator(folder[i]) || i == 0 || folder[i - 1] == ':') continue;
    CreateDirectoryA(folder.substr(0, i).c_str(), nullptr);
  }
  CreateDirectoryA(folder.c_str(), nullptr);
}

std::string KeyOf(const char* name) { return std::string("[") + name + "]=true;"; }

}  // namespace

RunState::RunState(const std::string& folder) : folder_(folder) {
  path_ = folder_;
  if (!path_.empty() && !IsSeparator(path_.back())) path_ += '\\';
  path_ += "runstate.cfg";
}

bool RunState::TestAndSet(const char* name) {
  if (name == nullptr) return false;
  std::string content = ReadContent();
  // The key carries the opening bracket, so "UpdateSuccess" is not found
  // inside "[SelfUpdateSuccess]".
  const std::string key = KeyOf(name);
  if (content.find(key) != std::string::npos) return true;
  content += key;
  content += "\r\n";
  WriteContent(content);
  return false;
}

std::string RunState::ReadContent() const {
  std::string content;
  FILE* file = std::fopen(path_.c_str(), "rb");
  if (file == nullptr) return content;
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
  std::fclose(file);
  const size_t end = content.find('\0');
  if (end != std::string::npos) content.resize(end);
  return content;
}

bool RunState::WriteContent(const std::string& content) const {
  CreateFolders(folder_);
  FILE* file = std::fopen(path_.c_str(), "wb+");
  if (file == nullptr) return false;
  const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  const bool flushed = std::fflush(file) == 0;
  const bool closed = std::fclose(file) == 0;
  return written && flushed && closed;
}
