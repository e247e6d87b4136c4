#include "SettingsFile.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

bool ParseNumber(const std::string& text, uint32_t* value) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  char* end = nullptr;
  unsigned long number = strtoul(text.c_str(), &end, 10);
  if (*end != '\0' || number > 0xFFFFFFFFul) return false;
  *value = static_cast<uint32_t>(number);
  return true;
}

bool ParseBool(const std::string& text, bool* value) {
  *value = text == "true";
  return true;
}

bool Apply(const std::string& name, const std::string& value, LoaderSettings* s) {
  uint32_t number = 0;
  if (name == "ProductName") { s->productName = value; return true; }
  if (name == "UpdaterFileName") { s->updaterFileName = value; return true; }
  if (name == "LoginUrl") { s->loginUrl = value; return true; }
  if (name == "ReloginUrl") { s->reloginUrl = value; return true; }
  if (name == "ResourceGroup") { s->resourceGroups.push_back(value); return true; }
  if (name == "RunPlace") { if (!ParseNumber(value, &number)) return false; s->runPlace = static_cast<int>(number); return true; }
  if (name == "UpdateThreadCount") { if (!ParseNumber(value, &number)) return false; s->updateThreadCount = number; return true; }
  if (name == "MaxPackageSize") return ParseNumber(value, &s->maxPackageSize);
  if (name == "MaxDeltaPackageSize") return ParseNumber(value, &s->maxDeltaPackageSize);
  if (name == "UpdateEnable") return ParseBool(value, &s->updateEnabled);
  if (name == "LoginEnable") return ParseBool(value, &s->loginEnabled);
  if (name == "SendFirstRunParam") return ParseBool(value, &s->sendFirstRunParam);
  if (name == "ReloginEnable") return ParseBool(value, &s->reloginEnabled);
  if (name == "StatEnable") return ParseBool(value, &s->statEnabled);
  if (name == "VisibleWhenReady") return ParseBool(value, &s->browserVisibleWhenReady);
  if (name == "ShowWhenLoginSuccess") return ParseBool(value, &s->browserShowWhenLoginSuccess);
  if (name == "PlainFace") return ParseBool(value, &s->plainFace);
  if (name == "DisableWhenLoading") return ParseBool(value, &s->closeDisableWhenLoading);
  if (name == "UpdateServer") {
    size_t colon = value.rfind(':');
    LoaderUpdateServer server;
    server.host = value.substr(0, colon);
    if (colon == std::string::npos || server.host.empty() ||
        !ParseNumber(value.substr(colon + 1), &server.port) || server.port > 65535)
      return false;
    s->updateServers.push_back(server);
    return true;
  }
  if (name == "UpdateFile") {
    LoaderUpdateFile file;
    size_t comma = value.find(',');
    file.path = Trim(value.substr(0, comma));
    if (comma != std::string::npos) {
      if (Trim(value.substr(comma + 1)) != "SystemDll") return false;
      file.systemDll = true;
    }
    if (file.path.empty()) return false;
    s->updateFiles.push_back(file);
    return true;
  }
  return false;
}

}  // namespace

bool ParseSettingsText(const std::string& text, LoaderSettings* settings, std::string* error) {
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    size_t equals = line.find('=');
    std::string name = equals == std::string::npos ? line : Trim(line.substr(0, equals));
    std::string value = equals == std::string::npos ? std::string() : Trim(line.substr(equals + 1));
    if (equals == std::string::npos || !Apply(name, value, settings)) {
      *error = "line " + std::to_string(number) + " is not understood: " + line;
      return false;
    }
  }
  if (settings->productName.empty()) {
    *error = "ProductName is missing";
    return false;
  }
  return true;
}

bool LoadSettingsFile(const std::string& path, LoaderSettings* settings, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return ParseSettingsText(text.str(), settings, error);
}
