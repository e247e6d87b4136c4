#include "ConfigMgr.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <vector>

#include <rapidxml.hpp>

#include "CodePageConversion.h"

namespace {

using Node = rapidxml::xml_node<char>;
using Attr = rapidxml::xml_attribute<char>;

bool NameIs(const Attr* attr, const char* name) {
  size_t length = std::strlen(name);
  return attr->name_size() == length && std::memcmp(attr->name(), name, length) == 0;
}

bool NameIs(const Node* node, const char* name) {
  size_t length = std::strlen(name);
  return node->name_size() == length && std::memcmp(node->name(), name, length) == 0;
}

std::string Text(const Attr* attr) { return std::string(attr->value(), attr->value_size()); }

// Only the exact value "true" is true.
bool ToBool(const Attr* attr) { return Text(attr) == "true"; }

// As atoi reads: blanks, sign, digits as far as they go, else 0.
int32_t ToDecimal(const Attr* attr) {
  return int32_t(std::strtol(Text(attr).c_str(), nullptr, 10));
}

// As strtoul with base 0 reads: "0x" hexadecimal, a leading 0 octal.
uint32_t ToUnsigned(const Attr* attr) {
  return uint32_t(std::strtoul(Text(attr).c_str(), nullptr, 0));
}

// Single lookups take the last attribute of the name. rapidxml's named
// last_attribute walks a last pointer that is only set once the node has an
// attribute, so a node without any is answered here.
const Attr* Last(const Node* node, const char* name) {
  return node->first_attribute() ? node->last_attribute(name) : nullptr;
}

void LookupBool(const Node* node, const char* name, bool* value) {
  if (const Attr* attr = Last(node, name)) *value = ToBool(attr);
}

void LookupString(const Node* node, const char* name, std::string* value) {
  if (const Attr* attr = Last(node, name)) *value = Text(attr);
}

// Reads the layout attributes from the first "Point" on; attributes before
// it are not seen, and without a Point the record stays as it was.
void ReadLayout(const Node* node, LayoutRecord* record, int32_t* width = nullptr,
                int32_t* height = nullptr) {
  for (const Attr* attr = node->first_attribute("Point"); attr; attr = attr->next_attribute()) {
    if (NameIs(attr, "Point")) record->point = Text(attr);
    else if (NameIs(attr, "RelateTo")) record->relateTo = Text(attr);
    else if (NameIs(attr, "RelatePoint")) record->relatePoint = Text(attr);
    else if (NameIs(attr, "X")) record->x = ToDecimal(attr);
    else if (NameIs(attr, "Y")) record->y = ToDecimal(attr);
    else if (width && NameIs(attr, "W")) *width = ToDecimal(attr);
    else if (height && NameIs(attr, "H")) *height = ToDecimal(attr);
  }
}

void ReadShortcut(const Node* node, bool internet, ShortcutRecord* record) {
  const char* targetName = internet ? "Url" : "File";
  const char* secondName = internet ? "IconFile" : "Param";
  for (const Attr* attr = node->first_attribute(); attr; attr = attr->next_attribute()) {
    if (NameIs(attr, "Enable")) record->enable = ToBool(attr);
    else if (NameIs(attr, targetName)) record->target = Text(attr);
    else if (NameIs(attr, secondName)) record->second = Text(attr);
    else if (NameIs(attr, "CreateOnDeskTop")) record->createOnDeskTop = ToBool(attr);
    else if (NameIs(attr, "CreateOnStartMenu")) record->createOnStartMenu = ToBool(attr);
    else if (NameIs(attr, "ShortCutFileStringID")) record->fileStringId = Text(attr);
    else if (NameIs(attr, "ShortCutDescStringID")) record->descStringId = Text(attr);
  }
}

class ConfigReader {
 public:
  explicit ConfigReader(ConfigMgr* config) : c_(*config) {}

  void ReadConfig(const Node* root) {
    c_.runPlace = kRunPlaceCurrentDirectory;
    c_.publishVersion = false;
    c_.createShortCutOnDeskTop = false;
    c_.createShortCutOnStartMenu = false;
    for (const Attr* attr = root->first_attribute(); attr; attr = attr->next_attribute()) {
      if (NameIs(attr, "RunPlace")) c_.runPlace = ToRunPlace(Text(attr));
      else if (NameIs(attr, "PublishVersion")) c_.publishVersion = ToBool(attr);
      else if (NameIs(attr, "CreateShortCutOnDeskTop")) c_.createShortCutOnDeskTop = ToBool(attr);
      else if (NameIs(attr, "CreateShortCutOnStartMenu"))
        c_.createShortCutOnStartMenu = ToBool(attr);
    }
    for (const Node* child = root->first_node(); child; child = child->next_sibling())
      ReadConfigChild(child);
  }

  void ReadStrings(const Node* root) {
    for (const Node* child = root->first_node(); child; child = child->next_sibling()) {
      if (child->type() != rapidxml::node_element) continue;
      std::string id(child->name(), child->name_size());
      std::string text(child->value(), child->value_size());
      // A Message of the configuration keeps its colours, URL and flags.
      c_.messageMap[id].text = text;
    }
  }

 private:
  static int32_t ToRunPlace(const std::string& value) {
    if (value == "LocalAppData") return kRunPlaceLocalAppData;
    if (value == "InternetCache") return kRunPlaceInternetCache;
    return kRunPlaceCurrentDirectory;
  }

  void ReadConfigChild(const Node* n) {
    if (n->type() != rapidxml::node_element) return;
    if (NameIs(n, "Update")) ReadUpdate(n);
    else if (NameIs(n, "Stat")) ReadStat(n);
    else if (NameIs(n, "Login")) ReadLogin(n);
    else if (NameIs(n, "Relogin")) ReadRelogin(n);
    else if (NameIs(n, "WebBrowser")) ReadWebBrowser(n);
    else if (NameIs(n, "SubProgress")) ReadSubProgress(n);
    else if (NameIs(n, "Progress")) ReadLayout(n, &c_.progress);
    else if (NameIs(n, "CloseButton")) ReadCloseButton(n);
    else if (NameIs(n, "MinimizeButton")) ReadLayout(n, &c_.minimizeButton);
    else if (NameIs(n, "LoadingWebBrowser")) ReadLayout(n, &c_.loadingWebBrowser);
    else if (NameIs(n, "GovernmentButton"))
      ReadLinkButton(n, &c_.governmentButton, &c_.governmentButtonUrl);
    else if (NameIs(n, "BBSButton")) ReadLinkButton(n, &c_.bbsButton, &c_.bbsButtonUrl);
    else if (NameIs(n, "ChargeButton")) ReadLinkButton(n, &c_.chargeButton, &c_.chargeButtonUrl);
    else if (NameIs(n, "CustomServiceButton"))
      ReadLinkButton(n, &c_.customServiceButton, &c_.customServiceButtonUrl);
    else if (NameIs(n, "Messages")) ReadMessages(n);
    else if (NameIs(n, "Install")) ReadInstall(n);
    else if (NameIs(n, "InstallButton")) ReadLayout(n, &c_.installButton);
    else if (NameIs(n, "InstallCloseButton")) ReadLayout(n, &c_.installCloseButton);
    else if (NameIs(n, "InstallSuccessButton")) ReadLayout(n, &c_.installSuccessButton);
    else if (NameIs(n, "Uninstall")) ReadUninstall(n);
    else if (NameIs(n, "SelfUpdateProgress")) ReadLayout(n, &c_.selfUpdateProgress);
    else if (NameIs(n, "SelfUpdateCloseButton")) ReadLayout(n, &c_.selfUpdateCloseButton);
    else if (NameIs(n, "SelfUpdateMessage"))
      ReadLayout(n, &c_.selfUpdateMessage, &c_.selfUpdateMessageWidth,
                 &c_.selfUpdateMessageHeight);
  }

  void ReadUpdate(const Node* n) {
    c_.updateEnable = false;
    c_.productName.clear();
    c_.updaterFileName.clear();
    c_.updateServers.clear();
    c_.updateFiles.clear();
    c_.resourceGroups.clear();
    c_.maxPackageSize = 524288000;
    c_.maxDeltaPackageSize = 104857600;
    c_.updateThreadCount = 5;
    for (const Attr* attr = n->first_attribute(); attr; attr = attr->next_attribute()) {
      if (NameIs(attr, "Enable")) c_.updateEnable = ToBool(attr);
      else if (NameIs(attr, "ProductName")) c_.productName = Text(attr);
      else if (NameIs(attr, "MaxPackageSize")) c_.maxPackageSize = ToUnsigned(attr);
      else if (NameIs(attr, "MaxDeltaPackageSize")) c_.maxDeltaPackageSize = ToUnsigned(attr);
      else if (NameIs(attr, "UpdateThreadCount")) c_.updateThreadCount = ToUnsigned(attr);
      else if (NameIs(attr, "UpdaterFileName")) c_.updaterFileName = Text(attr);
    }
    for (const Node* child = n->first_node(); child; child = child->next_sibling()) {
      if (child->type() != rapidxml::node_element) continue;
      if (NameIs(child, "UpdateServers")) ReadUpdateServers(child);
      else if (NameIs(child, "UpdateFiles")) ReadUpdateFiles(child);
      else if (NameIs(child, "UpdateResourceGroups")) ReadResourceGroups(child);
    }
  }

  void ReadUpdateServers(const Node* list) {
    for (const Node* n = list->first_node("UpdateServer"); n; n = n->next_sibling("UpdateServer")) {
      const Attr* server = Last(n, "Server");
      const Attr* port = Last(n, "Port");
      if (!server || !port) continue;
      UpdateServerEntry entry;
      entry.host = Text(server);
      entry.port = ToDecimal(port);
      if (entry.port == 0) continue;
      c_.updateServers.push_back(entry);
    }
  }

  void ReadUpdateFiles(const Node* list) {
    for (const Node* n = list->first_node("File"); n; n = n->next_sibling("File")) {
      const Attr* path = Last(n, "Path");
      if (!path) continue;
      UpdateFileEntry entry;
      entry.path = Text(path);
      LookupBool(n, "SystemDll", &entry.systemDll);
      c_.updateFiles.push_back(entry);
    }
  }

  void ReadResourceGroups(const Node* list) {
    for (const Node* n = list->first_node("ResourceGroup"); n;
         n = n->next_sibling("ResourceGroup")) {
      if (const Attr* name = Last(n, "Name")) c_.resourceGroups.push_back(Text(name));
    }
  }

  void ReadStat(const Node* n) {
    c_.statEnable = false;
    for (const Attr* attr = n->first_attribute(); attr; attr = attr->next_attribute()) {
      if (NameIs(attr, "Enable")) c_.statEnable = ToBool(attr);
      else if (NameIs(attr, "Url")) c_.statUrl = Text(attr);
    }
  }

  void ReadLogin(const Node* n) {
    c_.loginEnable = false;
    c_.loginSendFirstRunParam = false;
    c_.loginUrl.clear();
    for (const Attr* attr = n->first_attribute(); attr; attr = attr->next_attribute()) {
      if (NameIs(attr, "Enable")) c_.loginEnable = ToBool(attr);
      else if (NameIs(attr, "Url")) c_.loginUrl = Text(attr);
      else if (NameIs(attr, "SendFirstRunParam")) c_.loginSendFirstRunParam = ToBool(attr);
    }
  }

  void ReadRelogin(const Node* n) {
    c_.reloginEnable = false;
    c_.reloginUrl.clear();
    for (const Attr* attr = n->first_attribute(); attr; attr = attr->next_attribute()) {
      if (NameIs(attr, "Enable")) c_.reloginEnable = ToBool(attr);
      else if (NameIs(attr, "Url")) c_.reloginUrl = Text(attr);
    }
  }

  void ReadWebBrowser(const Node* n) {
    c_.webBrowserWidth = 500;
    c_.webBrowserHeight = 300;
    c_.webBrowserShowWhenLoginSuccess = false;
    c_.webBrowserVisibleWhenReady = false;
    ReadLayout(n, &c_.webBrowser, &c_.webBrowserWidth, &c_.webBrowserHeight);
    LookupBool(n, "ShowWhenLoginSuccess", &c_.webBrowserShowWhenLoginSuccess);
    LookupBool(n, "VisibleWhenReady", &c_.webBrowserVisibleWhenReady);
  }

  void ReadSubProgress(const Node* n) {
    c_.subProgressVisible = false;
    ReadLayout(n, &c_.subProgress);
    LookupBool(n, "Visible", &c_.subProgressVisible);
  }

  void ReadCloseButton(const Node* n) {
    c_.closeButtonDisableWhenLoading = false;
    ReadLayout(n, &c_.closeButton);
    LookupBool(n, "DisableWhenLoading", &c_.closeButtonDisableWhenLoading);
  }

  void ReadLinkButton(const Node* n, LayoutRecord* record, std::string* url) {
    url->clear();
    ReadLayout(n, record);
    LookupString(n, "Url", url);
  }

  void ReadMessages(const Node* n) {
    c_.messagesWidth = 0;
    c_.messagesHeight = 0;
    c_.messagesAlign = kAlignCenter;
    ReadLayout(n, &c_.messages, &c_.messagesWidth, &c_.messagesHeight);
    if (const Attr* align = Last(n, "Align")) {
      std::string value = Text(align);
      c_.messagesAlign = value == "Left" ? kAlignLeft : value == "Right" ? kAlignRight : kAlignCenter;
    }
    for (const Node* m = n->first_node("Message"); m; m = m->next_sibling("Message")) ReadMessage(m);
  }

  void ReadMessage(const Node* n) {
    const Attr* id = Last(n, "ID");
    if (!id) return;
    MessageEntry entry;
    if (const Attr* color = Last(n, "Color"))
      entry.color = entry.overColor = entry.downColor = ToUnsigned(color);
    if (const Attr* over = Last(n, "OverColor")) entry.overColor = ToUnsigned(over);
    if (const Attr* down = Last(n, "DownColor")) entry.downColor = ToUnsigned(down);
    LookupBool(n, "ClickToReboot", &entry.clickToReboot);
    if (!entry.clickToReboot) {
      if (const Attr* url = Last(n, "ClickToOpenUrl")) {
        entry.clickToOpenUrl = true;
        entry.url = Text(url);
      }
    }
    c_.messageMap[Text(id)] = entry;
  }

  void ReadInstall(const Node* n) {
    LookupBool(n, "Enable", &c_.installEnable);
    for (const Node* child = n->first_node(); child; child = child->next_sibling()) {
      if (child->type() != rapidxml::node_element) continue;
      if (NameIs(child, "Plugin")) ReadPlugin(child);
      else if (NameIs(child, "FileShortCuts")) ReadShortcuts(child, false, &c_.fileShortcuts);
      else if (NameIs(child, "InternetShortCuts"))
        ReadShortcuts(child, true, &c_.internetShortcuts);
      else if (NameIs(child, "InstallSuccess")) ReadInstallSuccess(child);
    }
  }

  void ReadPlugin(const Node* n) {
    c_.pluginEnable = false;
    c_.iePluginFile.clear();
    c_.npPluginFile.clear();
    for (const Attr* attr = n->first_attribute(); attr; attr = attr->next_attribute()) {
      if (NameIs(attr, "Enable")) c_.pluginEnable = ToBool(attr);
      else if (NameIs(attr, "IEPluginFile")) c_.iePluginFile = Text(attr);
      else if (NameIs(attr, "NPPluginFile")) c_.npPluginFile = Text(attr);
    }
  }

  void ReadShortcuts(const Node* list, bool internet, std::list<ShortcutRecord>* out) {
    for (const Node* n = list->first_node("ShortCut"); n; n = n->next_sibling("ShortCut")) {
      ShortcutRecord record;
      ReadShortcut(n, internet, &record);
      out->push_back(record);
    }
  }

  void ReadInstallSuccess(const Node* n) {
    c_.installSuccessShowDialog = false;
    c_.installSuccessRunExe = false;
    c_.installSuccessOpenUrl = false;
    c_.installSuccessFile.clear();
    c_.installSuccessParam.clear();
    c_.installSuccessUrl.clear();
    for (const Attr* attr = n->first_attribute(); attr; attr = attr->next_attribute()) {
      if (NameIs(attr, "ShowDialog")) c_.installSuccessShowDialog = ToBool(attr);
      else if (NameIs(attr, "RunExe")) c_.installSuccessRunExe = ToBool(attr);
      else if (NameIs(attr, "OpenUrl")) c_.installSuccessOpenUrl = ToBool(attr);
      else if (NameIs(attr, "File")) c_.installSuccessFile = Text(attr);
      else if (NameIs(attr, "Param")) c_.installSuccessParam = Text(attr);
      else if (NameIs(attr, "Url")) c_.installSuccessUrl = Text(attr);
    }
  }

  void ReadUninstall(const Node* n) {
    c_.uninstallEnable = false;
    c_.uninstallPlugin = false;
    c_.uninstallId.clear();
    c_.uninstallVersion.clear();
    c_.uninstallPatterns.clear();
    for (const Attr* attr = n->first_attribute(); attr; attr = attr->next_attribute()) {
      if (NameIs(attr, "Enable")) c_.uninstallEnable = ToBool(attr);
      else if (NameIs(attr, "ID")) c_.uninstallId = Text(attr);
      else if (NameIs(attr, "Version")) c_.uninstallVersion = Text(attr);
      else if (NameIs(attr, "UninstallPlugin")) c_.uninstallPlugin = ToBool(attr);
    }
    for (const Node* f = n->first_node("File"); f; f = f->next_sibling("File")) {
      if (const Attr* path = Last(f, "Path")) c_.uninstallPatterns.push_back(Utf8ToWide(Text(path)));
    }
  }

  ConfigMgr& c_;
};

enum class DocumentKind { kConfig, kStrings };

// Parses a copy of the bytes (rapidxml parses in place and wants a
// terminating zero) and hands the root element to the reader.
bool ParseDocument(ConfigMgr* config, const char* data, size_t size, DocumentKind kind) {
  if (!data || size == 0) return false;
  try {
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    rapidxml::xml_document<char> document;
    document.parse<0>(text.data());
    const char* rootName = kind == DocumentKind::kConfig ? "Config" : "String";
    const Node* root = document.first_node(rootName);
    if (!root) return false;
    ConfigReader reader(config);
    if (kind == DocumentKind::kConfig) reader.ReadConfig(root);
    else reader.ReadStrings(root);
    return true;
  } catch (const rapidxml::parse_error&) {
    return false;
  } catch (const std::exception&) {
    return false;
  }
}

bool LoadResourceDocument(ConfigMgr* config, HMODULE module, int id, DocumentKind kind) {
  HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), L"CONFIG");
  if (!info) return false;
  DWORD size = SizeofResource(module, info);
  if (size == 0) return false;
  HGLOBAL handle = LoadResource(module, info);
  if (!handle) return false;
  const void* bytes = LockResource(handle);
  bool ok = bytes && ParseDocument(config, static_cast<const char*>(bytes), size, kind);
  FreeResource(handle);
  return ok;
}

bool LoadFileDocument(ConfigMgr* config, const wchar_t* path, DocumentKind kind) {
  if (!path) return false;
  FILE* file = _wfopen(path, L"rb");
  if (!file) return false;
  std::vector<char> bytes;
  char chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  std::fclose(file);
  return ParseDocument(config, bytes.data(), bytes.size(), kind);
}

}  // namespace

ConfigMgr::ConfigMgr() = default;
ConfigMgr::~ConfigMgr() = default;

bool ConfigMgr::LoadConfig(HMODULE module) {
  return LoadResourceDocument(this, module, kConfigResourceId, DocumentKind::kConfig);
}

bool ConfigMgr::LoadStrings(HMODULE module) {
  return LoadResourceDocument(this, module, kStringsResourceId, DocumentKind::kStrings);
}

bool ConfigMgr::LoadConfigText(const char* data, size_t size) {
  return ParseDocument(this, data, size, DocumentKind::kConfig);
}

bool ConfigMgr::LoadStringsText(const char* data, size_t size) {
  return ParseDocument(this, data, size, DocumentKind::kStrings);
}

bool ConfigMgr::LoadConfigFile(const wchar_t* path) {
  return LoadFileDocument(this, path, DocumentKind::kConfig);
}

bool ConfigMgr::LoadStringsFile(const wchar_t* path) {
  return LoadFileDocument(this, path, DocumentKind::kStrings);
}

bool ConfigMgr::GetString(const char* id, std::wstring* out) const {
  if (!out) return false;
  out->clear();
  if (!id) return false;
  auto it = messageMap.find(id);
  if (it == messageMap.end()) return false;
  ToWideString(it->second.text, CP_UTF8, out);
  return true;
}

bool ConfigMgr::GetMessageEntry(const char* id, std::wstring* text, uint32_t* color,
                                uint32_t* overColor, uint32_t* downColor, bool* clickToReboot,
                                bool* clickToOpenUrl, std::wstring* url) const {
  if (!id || !text || !color || !overColor || !downColor || !clickToReboot || !clickToOpenUrl ||
      !url)
    return false;
  text->clear();
  url->clear();
  *color = *overColor = *downColor = 0xFFFFFFFFu;
  *clickToReboot = *clickToOpenUrl = false;
  auto it = messageMap.find(id);
  if (it == messageMap.end()) return false;
  const MessageEntry& entry = it->second;
  ToWideString(entry.text, CP_UTF8, text);
  ToWideString(entry.url, CP_UTF8, url);
  *color = entry.color;
  *overColor = entry.overColor;
  *downColor = entry.downColor;
  *clickToReboot = entry.clickToReboot;
  *clickToOpenUrl = entry.clickToOpenUrl;
  return true;
}

bool ConfigMgr::GetUpdateServer(int32_t index, const char** host, int32_t* port) const {
  if (!host || !port) return false;
  *host = nullptr;
  *port = 0;
  if (index < 0 || index >= GetUpdateServerCount()) return false;
  *host = updateServers[size_t(index)].host.c_str();
  *port = updateServers[size_t(index)].port;
  return true;
}

const char* ConfigMgr::GetUpdateFilePath(int32_t index) const {
  if (index < 0 || index >= GetUpdateFileCount()) return nullptr;
  return updateFiles[size_t(index)].path.c_str();
}

bool ConfigMgr::IsSystemDll(int32_t index) const {
  if (index < 0 || index >= GetUpdateFileCount()) return false;
  return updateFiles[size_t(index)].systemDll;
}

const char* ConfigMgr::GetResourceGroupName(int32_t index) const {
  if (index < 0 || index >= GetResourceGroupCount()) return nullptr;
  return resourceGroups[size_t(index)].c_str();
}

std::wstring ConfigMgr::GetNPPluginFile() const { return Utf8ToWide(npPluginFile); }
