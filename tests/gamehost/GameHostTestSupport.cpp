#include "GameHostTestSupport.h"

#include <shlobj.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "PluginLog.h"
#include "TextConversion.h"

namespace GameHostTest {

std::string FormatValue(const ScriptValue& value) {
  char buffer[64];
  switch (value.type) {
    case ScriptType::Void: return "void";
    case ScriptType::Bool: return value.boolValue ? "true" : "false";
    case ScriptType::Int32: return std::to_string(value.int32Value);
    case ScriptType::UInt32: return std::to_string(value.uint32Value);
    case ScriptType::Float:
      std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(value.floatValue));
      return buffer;
    case ScriptType::Text: return value.text;
    case ScriptType::WideText: return WideToUtf8(value.wideText);
  }
  return "?";
}

void RecordingOwner::FirePageEvent(int number, const char* name, const ScriptValue* args,
                                   size_t count) {
  std::string text = name;
  if (count > 0) {
    text += '(';
    for (size_t i = 0; i < count; ++i) {
      if (i > 0) text += ',';
      text += FormatValue(args[i]);
    }
    text += ')';
  }
  events.push_back(text);
  numbers.push_back(number);
  if (listener) listener(name);
}

std::string ProgramFolder() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string LocalAppData() {
  char buffer[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_LOCAL_APPDATA, TRUE);
  std::string folder = buffer;
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder;
}

std::string ProductFolder(const std::string& product) {
  return LocalAppData() + "dorvgame\\" + product + "\\";
}

void RemoveFolder(const std::string& folder) {
  std::string base = folder;
  if (!base.empty() && base.back() == '\\') base.pop_back();
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((base + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = base + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveFolder(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(base.c_str());
}

bool ReadFile(const std::string& path, std::string* bytes) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bytes->clear();
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes->append(buffer, n);
  std::fclose(file);
  return true;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

bool InstallSampleGame(const std::string& folder, const std::string& variant,
                       const std::string& ini, const std::string& target) {
  SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
  std::string source = ProgramFolder() + "sample_" + variant + ".dll";
  if (!CopyFileA(source.c_str(), (folder + target).c_str(), FALSE)) return false;
  return WriteFile(folder + "samplegame.ini", ini) && WriteFile(folder + "samplegame.log", "");
}

std::vector<std::string> SampleLog(const std::string& folder) {
  std::string text;
  std::vector<std::string> lines;
  if (!ReadFile(folder + "samplegame.log", &text)) return lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

bool SampleLogHas(const std::string& folder, const std::string& line) {
  for (const std::string& entry : SampleLog(folder)) {
    if (entry == line) return true;
  }
  return false;
}

std::string SampleParam(const std::string& folder, const std::string& field) {
  std::string prefix = "param." + field + "=";
  for (const std::string& entry : SampleLog(folder)) {
    if (entry.compare(0, prefix.size(), prefix) == 0) return entry.substr(prefix.size());
  }
  return std::string();
}

namespace {
std::string privateLogFolder;
}

void UsePrivateLogFolder() {
  if (privateLogFolder.empty()) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    privateLogFolder = std::string(temp) + "gamehost_log_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(privateLogFolder.c_str(), nullptr);
  }
  PluginLog::SetBaseFolderForTesting(privateLogFolder);
}

std::string PluginLogText() {
  std::string text;
  ReadFile(privateLogFolder + "\\dorvgame\\kvtplayer\\kvtplayer.log", &text);
  return text;
}

std::string UniqueProduct(const char* stem) {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string("ghtest_") + stem;
  if (info != nullptr) name += std::string("_") + info->name();
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  return name + "_" + std::to_string(GetCurrentProcessId());
}

}  // namespace GameHostTest
