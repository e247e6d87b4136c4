#include "BrowserFunctions.h"

#include <cstring>

namespace {

NPNetscapeFuncs keptTable;

// An entry is copied only when the browser's declared size covers all of
// it: a browser with a shorter table has nothing valid past its end.
template <typename Entry>
void CopyEntry(const NPNetscapeFuncs& from, size_t offset, bool versionCarries, Entry* to) {
  if (!versionCarries || offset + sizeof(Entry) > from.size) return;
  std::memcpy(to, reinterpret_cast<const char*>(&from) + offset, sizeof(Entry));
}

}  // namespace

#define COPY_ENTRY(field, carried) \
  CopyEntry(from, offsetof(NPNetscapeFuncs, field), (carried), &to->field)

void CopyBrowserFunctions(const NPNetscapeFuncs& from, NPNetscapeFuncs* to) {
  std::memset(to, 0, sizeof(*to));
  to->size = from.size;
  to->version = from.version;
  const unsigned version = from.version;
  COPY_ENTRY(geturl, true);
  COPY_ENTRY(posturl, true);
  COPY_ENTRY(requestread, true);
  COPY_ENTRY(newstream, true);
  COPY_ENTRY(write, true);
  COPY_ENTRY(destroystream, true);
  COPY_ENTRY(status, true);
  COPY_ENTRY(uagent, true);
  COPY_ENTRY(memalloc, true);
  COPY_ENTRY(memfree, true);
  COPY_ENTRY(memflush, true);
  COPY_ENTRY(reloadplugins, true);
  COPY_ENTRY(geturlnotify, true);
  COPY_ENTRY(posturlnotify, true);
  COPY_ENTRY(getvalue, true);
  COPY_ENTRY(setvalue, true);
  COPY_ENTRY(invalidaterect, true);
  COPY_ENTRY(invalidateregion, true);
  COPY_ENTRY(forceredraw, true);
  COPY_ENTRY(getstringidentifier, true);
  COPY_ENTRY(getstringidentifiers, true);
  COPY_ENTRY(getintidentifier, true);
  COPY_ENTRY(identifierisstring, true);
  COPY_ENTRY(utf8fromidentifier, true);
  COPY_ENTRY(intfromidentifier, true);
  COPY_ENTRY(createobject, true);
  COPY_ENTRY(retainobject, true);
  COPY_ENTRY(releaseobject, true);
  COPY_ENTRY(invoke, true);
  COPY_ENTRY(invokeDefault, true);
  COPY_ENTRY(evaluate, true);
  COPY_ENTRY(getproperty, true);
  COPY_ENTRY(setproperty, true);
  COPY_ENTRY(removeproperty, true);
  COPY_ENTRY(hasproperty, true);
  COPY_ENTRY(hasmethod, true);
  COPY_ENTRY(releasevariantvalue, true);
  COPY_ENTRY(setexception, true);
  COPY_ENTRY(construct, true);
  COPY_ENTRY(pushpopupsenabledstate, version > 15);
  COPY_ENTRY(poppopupsenabledstate, version > 15);
  COPY_ENTRY(enumerate, version > 17);
  COPY_ENTRY(pluginthreadasynccall, version > 18);
  COPY_ENTRY(getvalueforurl, version > 20);
  COPY_ENTRY(setvalueforurl, version > 20);
  COPY_ENTRY(getauthenticationinfo, version > 20);
  COPY_ENTRY(scheduletimer, version > 22);
  COPY_ENTRY(unscheduletimer, version > 22);
}

#undef COPY_ENTRY

void KeepBrowserFunctions(const NPNetscapeFuncs& from) { CopyBrowserFunctions(from, &keptTable); }

void ForgetBrowserFunctions() { std::memset(&keptTable, 0, sizeof(keptTable)); }

const NPNetscapeFuncs& BrowserFunctions() { return keptTable; }

void* NPN_MemAlloc(uint32_t size) {
  return keptTable.memalloc ? keptTable.memalloc(size) : nullptr;
}

NPIdentifier NPN_GetStringIdentifier(const NPUTF8* name) {
  return keptTable.getstringidentifier ? keptTable.getstringidentifier(name) : nullptr;
}

NPObject* NPN_CreateObject(NPP npp, NPClass* aClass) {
  return keptTable.createobject ? keptTable.createobject(npp, aClass) : nullptr;
}

NPObject* NPN_RetainObject(NPObject* object) {
  if (!object || !keptTable.retainobject) return nullptr;
  return keptTable.retainobject(object);
}

void NPN_ReleaseObject(NPObject* object) {
  if (object && keptTable.releaseobject) keptTable.releaseobject(object);
}

bool NPN_InvokeDefault(NPP npp, NPObject* object, const NPVariant* args, uint32_t argCount,
                       NPVariant* result) {
  if (!object || !keptTable.invokeDefault) return false;
  return keptTable.invokeDefault(npp, object, args, argCount, result);
}

void NPN_ReleaseVariantValue(NPVariant* variant) {
  if (variant && keptTable.releasevariantvalue) keptTable.releasevariantvalue(variant);
}
