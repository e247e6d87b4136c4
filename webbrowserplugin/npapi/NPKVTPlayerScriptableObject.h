// The object a page scripts: one per plug-in instance, reaching its
// instance only through the NPP it was allocated for. The browser may keep
// it after the instance is destroyed; the instance then makes it forget the
// NPP, and every call answers false without touching anything.
#pragma once

#include "NetscapePluginApi.h"

class NPKVTPlayerScriptableObject : public NPObject {
 public:
  explicit NPKVTPlayerScriptableObject(NPP npp);
  virtual ~NPKVTPlayerScriptableObject() {}

  // The instance is gone: no call may reach it through the NPP again.
  void ForgetInstance() { npp_ = nullptr; }
  NPP GetNpp() const { return npp_; }

  virtual void Invalidate() {}
  virtual bool HasMethod(NPIdentifier name);
  virtual bool Invoke(NPIdentifier name, const NPVariant* args, uint32_t count,
                      NPVariant* result);
  virtual bool InvokeDefault(const NPVariant* args, uint32_t count, NPVariant* result);
  virtual bool HasProperty(NPIdentifier name);
  virtual bool GetProperty(NPIdentifier name, NPVariant* result);
  virtual bool SetProperty(NPIdentifier name, const NPVariant* value);
  virtual bool RemoveProperty(NPIdentifier name);
  virtual bool Enumerate(NPIdentifier** value, uint32_t* count);
  virtual bool Construct(const NPVariant* args, uint32_t count, NPVariant* result);

  // The class the browser creates these objects through.
  static NPClass* Class();
  // The C++ object behind an object of that class.
  static NPKVTPlayerScriptableObject* FromObject(NPObject* object);

 private:
  NPP npp_;
};
