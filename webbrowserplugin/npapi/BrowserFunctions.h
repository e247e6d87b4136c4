// The plug-in's copy of the browser's function table and the few browser
// calls the plug-in makes. Every call tolerates an entry the browser did
// not supply (a table shorter than ours, or an older version) by doing
// nothing and answering null or false.
#pragma once

#include "NetscapePluginApi.h"

// Copies into to the entries of from that the plug-in keeps: those that
// lie wholly inside from->size bytes and that from->version carries. to
// is cleared first, so every entry not copied is null.
void CopyBrowserFunctions(const NPNetscapeFuncs& from, NPNetscapeFuncs* to);

// The process-wide copy NP_Initialize keeps; NP_Shutdown clears it.
void KeepBrowserFunctions(const NPNetscapeFuncs& from);
void ForgetBrowserFunctions();
const NPNetscapeFuncs& BrowserFunctions();

void* NPN_MemAlloc(uint32_t size);
NPIdentifier NPN_GetStringIdentifier(const NPUTF8* name);
NPObject* NPN_CreateObject(NPP npp, NPClass* aClass);
NPObject* NPN_RetainObject(NPObject* object);
void NPN_ReleaseObject(NPObject* object);
bool NPN_InvokeDefault(NPP npp, NPObject* object, const NPVariant* args, uint32_t argCount,
                       NPVariant* result);
void NPN_ReleaseVariantValue(NPVariant* variant);
