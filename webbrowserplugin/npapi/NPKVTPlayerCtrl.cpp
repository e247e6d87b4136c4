#include "NPKVTPlayerCtrl.h"

#include "BrowserFunctions.h"
#include "MessageHook.h"
#include "NPKVTPlayerScriptableObject.h"
#include "NpScriptValues.h"
#include "PluginModule.h"

const char* const NPKVTPlayerCtrl::kAttachEventName = "attachEvent";
const char* const NPKVTPlayerCtrl::kDetachEventName = "detachEvent";

namespace {

const char kPluginName[] = "NPKVTPlayer";
const char kPluginDescription[] = "Net Scape Dorv game player";

}  // namespace

NPKVTPlayerCtrl::NPKVTPlayerCtrl(NPP npp)
    : loader_(HostFlavour::Netscape),
      npp_(npp),
      npWindow_(nullptr),
      window_(loader_, keys_),
      scriptableObject_(nullptr),
      timerWindow_(nullptr),
      initialized_(false),
      holdsHook_(false) {
  keys_.Clear();
}

NPKVTPlayerCtrl::~NPKVTPlayerCtrl() { shut(); }

bool NPKVTPlayerCtrl::init(NPWindow* window) {
  if (!window) return false;
  RegisterMethods();
  keys_.ResetToDefaults();
  HWND hwnd = static_cast<HWND>(window->window);
  window_.AttachWindow(hwnd);
  npWindow_ = window;
  loader_.Init(this, PluginModuleHandle(), hwnd);
  if (!holdsHook_) holdsHook_ = MessageHook::Acquire(::GetModuleHandleW(nullptr));
  FireEvent("OnInit", nullptr, 0);
  StartTimer(hwnd);
  initialized_ = true;
  return true;
}

void NPKVTPlayerCtrl::shut() {
  MessageHook::ForgetTarget(&window_);
  if (holdsHook_) {
    MessageHook::Release();
    holdsHook_ = false;
  }
  // No tick may reach the host once it is shutting down.
  StopTimer();
  loader_.Exit();
  ClearEventListeners();
  window_.DetachWindow();
  if (scriptableObject_) {
    NPKVTPlayerScriptableObject* object = scriptableObject_;
    scriptableObject_ = nullptr;
    object->ForgetInstance();
    NPN_ReleaseObject(object);
  }
  keys_.Clear();
  npWindow_ = nullptr;
  initialized_ = false;
}

NPError NPKVTPlayerCtrl::SetWindow(NPWindow* window) {
  HWND hwnd = window ? static_cast<HWND>(window->window) : nullptr;
  if (hwnd) {
    window_.AttachWindow(hwnd);
    // The timer follows the window, so a replaced window keeps the ticks.
    if (initialized_ && timerWindow_ != hwnd) {
      StopTimer();
      StartTimer(hwnd);
    }
  }
  npWindow_ = window;
  return NPERR_NO_ERROR;
}

NPError NPKVTPlayerCtrl::NewStream(NPMIMEType, NPStream*, NPBool, uint16_t*) {
  return NPERR_NO_ERROR;
}

NPError NPKVTPlayerCtrl::DestroyStream(NPStream*, NPError) { return NPERR_NO_ERROR; }

NPError NPKVTPlayerCtrl::GetValue(NPPVariable variable, void* value) {
  switch (variable) {
    case NPPVpluginNameString:
      if (value) *static_cast<const char**>(value) = kPluginName;
      break;
    case NPPVpluginDescriptionString:
      if (value) *static_cast<const char**>(value) = kPluginDescription;
      break;
    case NPPVpluginScriptableNPObject:
      if (value) *static_cast<NPObject**>(value) = GetScriptableObject();
      break;
    default:
      break;
  }
  return NPERR_NO_ERROR;
}

NPObject* NPKVTPlayerCtrl::GetScriptableObject() {
  if (!scriptableObject_) {
    NPObject* created = NPN_CreateObject(npp_, NPKVTPlayerScriptableObject::Class());
    scriptableObject_ = created ? NPKVTPlayerScriptableObject::FromObject(created) : nullptr;
  }
  if (!scriptableObject_) return nullptr;
  return NPN_RetainObject(scriptableObject_);
}

void NPKVTPlayerCtrl::RegisterMethods() {
  for (const ScriptMethod& method : kScriptMethods) {
    NPIdentifier id = NPN_GetStringIdentifier(method.name);
    if (id) methodTable_[id] = MethodEntry{&method, false};
  }
  NPIdentifier attach = NPN_GetStringIdentifier(kAttachEventName);
  if (attach) methodTable_[attach] = MethodEntry{nullptr, true};
  NPIdentifier detach = NPN_GetStringIdentifier(kDetachEventName);
  if (detach) methodTable_[detach] = MethodEntry{nullptr, false};
}

bool NPKVTPlayerCtrl::HasMethod(NPIdentifier name) {
  return methodTable_.find(name) != methodTable_.end();
}

bool NPKVTPlayerCtrl::Invoke(NPIdentifier name, const NPVariant* args, uint32_t count,
                             NPVariant* result) {
  auto found = methodTable_.find(name);
  if (found == methodTable_.end()) return false;
  const MethodEntry entry = found->second;
  if (!entry.method) return entry.attach ? AttachEvent(args, count) : DetachEvent(args, count);
  return InvokeTableMethod(*entry.method, args, count, result);
}

bool NPKVTPlayerCtrl::InvokeTableMethod(const ScriptMethod& method, const NPVariant* args,
                                        uint32_t count, NPVariant* result) {
  const uint32_t needed = static_cast<uint32_t>(method.parameterCount);
  if (count < needed || (needed > 0 && !args)) return false;
  ScriptValue values[kMaxScriptParameters];
  for (uint32_t i = 0; i < needed; ++i) {
    if (!ToScriptValue(args[i], method.parameters[i], &values[i])) return false;
  }
  ScriptValue answer;
  const ScriptContext context = {&loader_, &keys_};
  if (InvokeScriptMethod(context, method.number, values, needed, &answer) !=
      ScriptCallStatus::Ok) {
    return false;
  }
  if (!result) return true;
  return ToResultVariant(answer, result);
}

bool NPKVTPlayerCtrl::ReadListenerArguments(const NPVariant* args, uint32_t count,
                                            std::string* name, NPObject** listener) {
  if (count < 2 || !args) return false;
  if (!ReadTextArgument(args[0], name) || name->empty()) return false;
  if (args[1].type != NPVariantType_Object || !args[1].value.objectValue) return false;
  *listener = args[1].value.objectValue;
  return true;
}

bool NPKVTPlayerCtrl::AttachEvent(const NPVariant* args, uint32_t count) {
  std::string name;
  NPObject* listener = nullptr;
  if (!ReadListenerArguments(args, count, &name, &listener)) return false;
  NPObject* retained = NPN_RetainObject(listener);
  if (!retained) return false;
  eventListeners_[name].push_back(retained);
  return true;
}

bool NPKVTPlayerCtrl::DetachEvent(const NPVariant* args, uint32_t count) {
  std::string name;
  NPObject* listener = nullptr;
  if (!ReadListenerArguments(args, count, &name, &listener)) return false;
  auto found = eventListeners_.find(name);
  if (found == eventListeners_.end()) return true;
  std::vector<NPObject*>& list = found->second;
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (*it == listener) {
      list.erase(it);
      NPN_ReleaseObject(listener);
      break;
    }
  }
  return true;
}

void NPKVTPlayerCtrl::ClearEventListeners() {
  std::map<std::string, std::vector<NPObject*>> listeners;
  listeners.swap(eventListeners_);
  for (auto& entry : listeners) {
    for (NPObject* listener : entry.second) NPN_ReleaseObject(listener);
  }
}

size_t NPKVTPlayerCtrl::ListenerCount(const std::string& name) const {
  auto found = eventListeners_.find(name);
  return found == eventListeners_.end() ? 0 : found->second.size();
}

void NPKVTPlayerCtrl::FireEvent(const char* name, const NPVariant* args, uint32_t count) {
  if (!npp_ || !name) return;
  auto found = eventListeners_.find(name);
  if (found == eventListeners_.end() || found->second.empty()) return;
  // Each listener of the copy holds a reference of its own, so one that a
  // listener detaches (or that shut releases) stays valid until its turn.
  std::vector<NPObject*> listeners;
  for (NPObject* listener : found->second) {
    if (NPObject* retained = NPN_RetainObject(listener)) listeners.push_back(retained);
  }
  const NPP npp = npp_;
  for (NPObject* listener : listeners) {
    NPVariant result = VoidVariant();
    NPN_InvokeDefault(npp, listener, args, count, &result);
    NPN_ReleaseVariantValue(&result);
  }
  for (NPObject* listener : listeners) NPN_ReleaseObject(listener);
}

void NPKVTPlayerCtrl::FirePageEvent(int number, const char* name, const ScriptValue* args,
                                    size_t count) {
  EventArguments arguments(args, count);
  FireEvent(name, arguments.Data(), arguments.Count());
}

void NPKVTPlayerCtrl::StartTimer(HWND window) {
  if (window && ::SetTimer(window, kTimerId, 0, nullptr)) timerWindow_ = window;
}

void NPKVTPlayerCtrl::StopTimer() {
  if (timerWindow_) ::KillTimer(timerWindow_, kTimerId);
  timerWindow_ = nullptr;
}
