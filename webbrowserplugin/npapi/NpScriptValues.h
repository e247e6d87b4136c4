// Conversions between the browser's script values and the game host's
// neutral values. Arguments are checked against the parameter type a method
// declares; a value of another kind, a number that is not finite or does not
// fit, is refused, and the call fails as a script error.
#pragma once

#include <string>
#include <vector>

#include "NetscapePluginApi.h"
#include "ScriptValue.h"

// A number argument as an integer of the parameter's type: Int32 as it is
// (its bits for an unsigned parameter), Double truncated toward zero when it
// is finite and its truncation lies in the type's range.
bool ReadUInt32Argument(const NPVariant& value, uint32_t* out);
bool ReadInt32Argument(const NPVariant& value, int32_t* out);

// The bytes of a String argument, copied and so terminated; a null pointer
// or a zero length is the empty text.
bool ReadTextArgument(const NPVariant& value, std::string* out);

// One argument converted to type (WideText arguments are read as UTF-8 and
// turned into UTF-16). False when the value is of another kind.
bool ToScriptValue(const NPVariant& value, ScriptType type, ScriptValue* out);

// A method's result as a browser value. Texts are copied into memory from
// the browser's allocator (the browser frees them); false when that fails.
bool ToResultVariant(const ScriptValue& value, NPVariant* out);

// Event arguments as browser values that point into storage owned by this
// object, valid while it lives: texts are not allocated from the browser.
class EventArguments {
 public:
  EventArguments(const ScriptValue* args, size_t count);
  const NPVariant* Data() const { return variants_.empty() ? nullptr : variants_.data(); }
  uint32_t Count() const { return static_cast<uint32_t>(variants_.size()); }

 private:
  std::vector<std::string> texts_;
  std::vector<NPVariant> variants_;
};

// Helpers for the browser side of a value.
NPVariant VoidVariant();
NPVariant BoolVariant(bool value);
NPVariant Int32Variant(int32_t value);
NPVariant DoubleVariant(double value);
NPVariant StringVariant(const char* bytes, uint32_t length);
NPVariant ObjectVariant(NPObject* object);
