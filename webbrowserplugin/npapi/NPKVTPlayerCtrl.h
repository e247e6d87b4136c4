// One plug-in instance: an embedded object of the page. It owns the game
// host and the key routing, subclasses the window the browser gives it,
// ticks the host from window timer 1, answers the page's script calls by
// name and fires the host's events to the listeners the page attached.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "GameLoader.h"
#include "IGameHostOwner.h"
#include "KeyRouting.h"
#include "NetscapePluginApi.h"
#include "PluginWindow.h"
#include "ScriptTable.h"
#include "nsPluginInstanceBase.h"

class NPKVTPlayerScriptableObject;

class NPKVTPlayerCtrl : public nsPluginInstanceBase, public IGameHostOwner {
 public:
  // The names the page calls: the 45 methods of the script table, then
  // these two.
  static const char* const kAttachEventName;
  static const char* const kDetachEventName;
  static const UINT_PTR kTimerId = 1;

  explicit NPKVTPlayerCtrl(NPP npp);
  ~NPKVTPlayerCtrl() override;

  bool init(NPWindow* window) override;
  void shut() override;
  bool isInitialized() override { return initialized_; }
  NPError SetWindow(NPWindow* window) override;
  NPError NewStream(NPMIMEType type, NPStream* stream, NPBool seekable,
                    uint16_t* streamType) override;
  NPError DestroyStream(NPStream* stream, NPError reason) override;
  void StreamAsFile(NPStream* stream, const char* fileName) override {}
  int32_t WriteReady(NPStream* stream) override { return 0x0FFFFFFF; }
  int32_t Write(NPStream* stream, int32_t offset, int32_t length, void* buffer) override {
    return length;
  }
  void Print(NPPrint* print) override {}
  uint16_t HandleEvent(void* event) override { return 0; }
  void URLNotify(const char* url, NPReason reason, void* notifyData) override {}
  NPError GetValue(NPPVariable variable, void* value) override;
  NPError SetValue(NPNVariable variable, void* value) override { return NPERR_NO_ERROR; }
  bool HasMethod(NPIdentifier name) override;
  bool Invoke(NPIdentifier name, const NPVariant* args, uint32_t count,
              NPVariant* result) override;

  // Delivers an event to the listeners of name, in attach order. The list
  // walked is a retained copy, so listeners that attach or detach while it
  // runs change only later deliveries.
  void FireEvent(const char* name, const NPVariant* args, uint32_t count);

  // IGameHostOwner
  void FirePageEvent(int number, const char* name, const ScriptValue* args,
                     size_t count) override;

  // For tests: the listeners attached for name.
  size_t ListenerCount(const std::string& name) const;

 private:
  // A method of the table, or one of the two listener methods (method null).
  struct MethodEntry {
    const ScriptMethod* method;
    bool attach;
  };

  NPKVTPlayerCtrl(const NPKVTPlayerCtrl&) = delete;
  NPKVTPlayerCtrl& operator=(const NPKVTPlayerCtrl&) = delete;

  void RegisterMethods();
  NPObject* GetScriptableObject();
  bool InvokeTableMethod(const ScriptMethod& method, const NPVariant* args, uint32_t count,
                         NPVariant* result);
  bool AttachEvent(const NPVariant* args, uint32_t count);
  bool DetachEvent(const NPVariant* args, uint32_t count);
  static bool ReadListenerArguments(const NPVariant* args, uint32_t count, std::string* name,
                                    NPObject** listener);
  void ClearEventListeners();
  void StartTimer(HWND window);
  void StopTimer();

  GameLoader loader_;
  NPP npp_;
  NPWindow* npWindow_;
  KeyRouting keys_;
  PluginWindow window_;
  NPKVTPlayerScriptableObject* scriptableObject_;
  std::map<NPIdentifier, MethodEntry> methodTable_;
  std::map<std::string, std::vector<NPObject*>> eventListeners_;
  HWND timerWindow_;
  bool initialized_;
  bool holdsHook_;
};
