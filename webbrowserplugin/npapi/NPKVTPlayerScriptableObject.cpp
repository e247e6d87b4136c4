#include "NPKVTPlayerScriptableObject.h"

#include <new>

#include "nsPluginInstanceBase.h"

namespace {

nsPluginInstanceBase* InstanceOf(NPP npp) {
  return npp ? static_cast<nsPluginInstanceBase*>(npp->pdata) : nullptr;
}

NPObject* Allocate(NPP npp, NPClass*) {
  NPKVTPlayerScriptableObject* object = new (std::nothrow) NPKVTPlayerScriptableObject(npp);
  return object;
}

void Deallocate(NPObject* object) {
  delete NPKVTPlayerScriptableObject::FromObject(object);
}

void Invalidate(NPObject* object) {
  NPKVTPlayerScriptableObject::FromObject(object)->Invalidate();
}

bool HasMethod(NPObject* object, NPIdentifier name) {
  return NPKVTPlayerScriptableObject::FromObject(object)->HasMethod(name);
}

bool Invoke(NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t count,
            NPVariant* result) {
  return NPKVTPlayerScriptableObject::FromObject(object)->Invoke(name, args, count, result);
}

bool InvokeDefault(NPObject* object, const NPVariant* args, uint32_t count, NPVariant* result) {
  return NPKVTPlayerScriptableObject::FromObject(object)->InvokeDefault(args, count, result);
}

bool HasProperty(NPObject* object, NPIdentifier name) {
  return NPKVTPlayerScriptableObject::FromObject(object)->HasProperty(name);
}

bool GetProperty(NPObject* object, NPIdentifier name, NPVariant* result) {
  return NPKVTPlayerScriptableObject::FromObject(object)->GetProperty(name, result);
}

bool SetProperty(NPObject* object, NPIdentifier name, const NPVariant* value) {
  return NPKVTPlayerScriptableObject::FromObject(object)->SetProperty(name, value);
}

bool RemoveProperty(NPObject* object, NPIdentifier name) {
  return NPKVTPlayerScriptableObject::FromObject(object)->RemoveProperty(name);
}

bool Enumerate(NPObject* object, NPIdentifier** value, uint32_t* count) {
  return NPKVTPlayerScriptableObject::FromObject(object)->Enumerate(value, count);
}

bool Construct(NPObject* object, const NPVariant* args, uint32_t count, NPVariant* result) {
  return NPKVTPlayerScriptableObject::FromObject(object)->Construct(args, count, result);
}

NPClass kvtPlayerClass = {
    NP_CLASS_STRUCT_VERSION_CTOR, Allocate,    Deallocate,  Invalidate,     HasMethod,
    Invoke,                       InvokeDefault, HasProperty, GetProperty, SetProperty,
    RemoveProperty,               Enumerate,   Construct,
};

}  // namespace

NPKVTPlayerScriptableObject::NPKVTPlayerScriptableObject(NPP npp) : npp_(npp) {
  _class = nullptr;
  referenceCount = 0;
}

bool NPKVTPlayerScriptableObject::HasMethod(NPIdentifier name) {
  nsPluginInstanceBase* instance = InstanceOf(npp_);
  return instance && instance->HasMethod(name);
}

bool NPKVTPlayerScriptableObject::Invoke(NPIdentifier name, const NPVariant* args,
                                         uint32_t count, NPVariant* result) {
  nsPluginInstanceBase* instance = InstanceOf(npp_);
  return instance && instance->Invoke(name, args, count, result);
}

bool NPKVTPlayerScriptableObject::InvokeDefault(const NPVariant*, uint32_t, NPVariant*) {
  return false;
}

bool NPKVTPlayerScriptableObject::HasProperty(NPIdentifier) { return false; }

bool NPKVTPlayerScriptableObject::GetProperty(NPIdentifier, NPVariant*) { return false; }

bool NPKVTPlayerScriptableObject::SetProperty(NPIdentifier, const NPVariant*) { return false; }

bool NPKVTPlayerScriptableObject::RemoveProperty(NPIdentifier) { return false; }

bool NPKVTPlayerScriptableObject::Enumerate(NPIdentifier**, uint32_t*) { return false; }

bool NPKVTPlayerScriptableObject::Construct(const NPVariant*, uint32_t, NPVariant*) {
  return false;
}

NPClass* NPKVTPlayerScriptableObject::Class() { return &kvtPlayerClass; }

NPKVTPlayerScriptableObject* NPKVTPlayerScriptableObject::FromObject(NPObject* object) {
  return static_cast<NPKVTPlayerScriptableObject*>(object);
}
