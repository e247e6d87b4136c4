// What the launcher is told at build time: its XML configuration (resource
// CONFIG 131, root "Config") and its XML string table (CONFIG 143, root
// "String"), both UTF-8. Loaded once at start-up, read-only afterwards, read
// on the UI thread only (no lock).
//
// Every scalar and container is a public member that the launcher's parts
// read directly; texts are the document's UTF-8 bytes. A value whose element
// is absent keeps its zero state; an element's presets apply only when the
// element is present.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "ConfigRecords.h"
#include "MessageEntry.h"

class ConfigMgr {
 public:
  static constexpr int kConfigResourceId = 131;
  static constexpr int kStringsResourceId = 143;

  ConfigMgr();
  virtual ~ConfigMgr();

  // Loads and parses resource CONFIG 131 (LoadConfig) or 143 (LoadStrings)
  // of module; false when it is missing, empty, malformed or has the wrong
  // root. LoadStrings comes after LoadConfig.
  bool LoadConfig(HMODULE module);
  bool LoadStrings(HMODULE module);

  // The same parsing over a document in memory or in a file, so tests and
  // the loopback demo can hand in a configuration of their own.
  bool LoadConfigText(const char* data, size_t size);
  bool LoadStringsText(const char* data, size_t size);
  bool LoadConfigFile(const wchar_t* path);
  bool LoadStringsFile(const wchar_t* path);

  // The text of a string-table ID as UTF-16; out is emptied first. False for
  // a null or unknown ID.
  bool GetString(const char* id, std::wstring* out) const;

  // The whole entry of an ID. Every output must be given (else false with
  // outputs untouched); they are reset (empty, 0xFFFFFFFF, false) before an
  // unknown ID gives false.
  bool GetMessageEntry(const char* id, std::wstring* text, uint32_t* color, uint32_t* overColor,
                       uint32_t* downColor, bool* clickToReboot, bool* clickToOpenUrl,
                       std::wstring* url) const;

  // host points into the stored text. Both outputs must be given; they are
  // reset (null, 0) before an index out of range gives false.
  bool GetUpdateServer(int32_t index, const char** host, int32_t* port) const;
  const char* GetUpdateFilePath(int32_t index) const;  // null out of range
  bool IsSystemDll(int32_t index) const;               // false out of range
  const char* GetResourceGroupName(int32_t index) const;  // null out of range
  std::wstring GetNPPluginFile() const;

  int32_t GetUpdateServerCount() const { return int32_t(updateServers.size()); }
  int32_t GetUpdateFileCount() const { return int32_t(updateFiles.size()); }
  int32_t GetResourceGroupCount() const { return int32_t(resourceGroups.size()); }

  // Config
  int32_t runPlace = 0;  // RunPlace
  bool publishVersion = false;
  bool createShortCutOnDeskTop = false;
  bool createShortCutOnStartMenu = false;

  // Update
  bool updateEnable = false;
  std::string productName;
  uint32_t maxPackageSize = 0;
  uint32_t maxDeltaPackageSize = 0;
  uint32_t updateThreadCount = 0;
  std::string updaterFileName;
  std::vector<UpdateServerEntry> updateServers;
  std::vector<UpdateFileEntry> updateFiles;
  std::vector<std::string> resourceGroups;

  // Stat, Login, Relogin
  bool statEnable = false;
  std::string statUrl;
  bool loginEnable = false;
  std::string loginUrl;
  bool loginSendFirstRunParam = false;
  bool reloginEnable = false;
  std::string reloginUrl;

  // Layout records and what their elements carry besides.
  LayoutRecord webBrowser;
  int32_t webBrowserWidth = 0;
  int32_t webBrowserHeight = 0;
  bool webBrowserShowWhenLoginSuccess = false;
  bool webBrowserVisibleWhenReady = false;
  LayoutRecord subProgress;
  bool subProgressVisible = false;
  LayoutRecord progress;
  LayoutRecord closeButton;
  bool closeButtonDisableWhenLoading = false;
  LayoutRecord minimizeButton;
  LayoutRecord loadingWebBrowser;
  LayoutRecord governmentButton;
  std::string governmentButtonUrl;
  LayoutRecord bbsButton;
  std::string bbsButtonUrl;
  LayoutRecord chargeButton;
  std::string chargeButtonUrl;
  LayoutRecord customServiceButton;
  std::string customServiceButtonUrl;
  LayoutRecord messages;
  int32_t messagesWidth = 0;
  int32_t messagesHeight = 0;
  int32_t messagesAlign = 0;  // MessageAlign
  LayoutRecord selfUpdateProgress;
  LayoutRecord selfUpdateCloseButton;
  LayoutRecord selfUpdateMessage;
  int32_t selfUpdateMessageWidth = 0;
  int32_t selfUpdateMessageHeight = 0;
  LayoutRecord installButton;
  LayoutRecord installCloseButton;
  LayoutRecord installSuccessButton;

  // Install and its children
  bool installEnable = false;
  bool pluginEnable = false;
  std::string iePluginFile;
  std::string npPluginFile;
  std::list<ShortcutRecord> fileShortcuts;
  std::list<ShortcutRecord> internetShortcuts;
  bool installSuccessShowDialog = false;
  bool installSuccessRunExe = false;
  bool installSuccessOpenUrl = false;
  std::string installSuccessFile;
  std::string installSuccessParam;
  std::string installSuccessUrl;

  // Uninstall
  bool uninstallEnable = false;
  std::string uninstallId;
  std::string uninstallVersion;
  bool uninstallPlugin = false;
  std::list<std::wstring> uninstallPatterns;  // UTF-16

  // Configuration Messages and string-table texts, by ID (byte order).
  std::map<std::string, MessageEntry> messageMap;

 private:
  ConfigMgr(const ConfigMgr&) = delete;
  ConfigMgr& operator=(const ConfigMgr&) = delete;
};

// The launcher's one instance (defined with the other global objects, in
// their construction order).
extern ConfigMgr g_configMgr;
