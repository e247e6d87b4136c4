#include "NpScriptValues.h"

#include <cmath>
#include <cstring>

#include "BrowserFunctions.h"
#include "TextConversion.h"

namespace {

// The truncation of a finite double, when it lies in [low, high].
bool TruncatedInRange(double value, double low, double high, double* out) {
  if (!std::isfinite(value)) return false;
  const double truncated = std::trunc(value);
  if (truncated < low || truncated > high) return false;
  *out = truncated;
  return true;
}

}  // namespace

bool ReadUInt32Argument(const NPVariant& value, uint32_t* out) {
  if (value.type == NPVariantType_Int32) {
    *out = static_cast<uint32_t>(value.value.intValue);
    return true;
  }
  double truncated = 0;
  if (value.type != NPVariantType_Double ||
      !TruncatedInRange(value.value.doubleValue, 0.0, 4294967295.0, &truncated)) {
    return false;
  }
  *out = static_cast<uint32_t>(truncated);
  return true;
}

bool ReadInt32Argument(const NPVariant& value, int32_t* out) {
  if (value.type == NPVariantType_Int32) {
    *out = value.value.intValue;
    return true;
  }
  double truncated = 0;
  if (value.type != NPVariantType_Double ||
      !TruncatedInRange(value.value.doubleValue, -2147483648.0, 2147483647.0, &truncated)) {
    return false;
  }
  *out = static_cast<int32_t>(truncated);
  return true;
}

bool ReadTextArgument(const NPVariant& value, std::string* out) {
  if (value.type != NPVariantType_String) return false;
  const NPString& text = value.value.stringValue;
  if (!text.UTF8Characters || text.UTF8Length == 0) {
    out->clear();
  } else {
    out->assign(text.UTF8Characters, text.UTF8Length);
  }
  return true;
}

bool ToScriptValue(const NPVariant& value, ScriptType type, ScriptValue* out) {
  switch (type) {
    case ScriptType::Bool:
      if (value.type != NPVariantType_Bool) return false;
      *out = ScriptValue::Bool(value.value.boolValue);
      return true;
    case ScriptType::UInt32: {
      uint32_t number = 0;
      if (!ReadUInt32Argument(value, &number)) return false;
      *out = ScriptValue::UInt32(number);
      return true;
    }
    case ScriptType::Int32: {
      int32_t number = 0;
      if (!ReadInt32Argument(value, &number)) return false;
      *out = ScriptValue::Int32(number);
      return true;
    }
    case ScriptType::Text: {
      std::string text;
      if (!ReadTextArgument(value, &text)) return false;
      *out = ScriptValue::Text(text);
      return true;
    }
    case ScriptType::WideText: {
      std::string text;
      if (!ReadTextArgument(value, &text)) return false;
      *out = ScriptValue::WideText(Utf8ToWide(text));
      return true;
    }
    default:
      return false;
  }
}

bool ToResultVariant(const ScriptValue& value, NPVariant* out) {
  switch (value.type) {
    case ScriptType::Bool:
      *out = BoolVariant(value.boolValue);
      return true;
    case ScriptType::Int32:
      *out = Int32Variant(value.int32Value);
      return true;
    case ScriptType::UInt32:
      *out = Int32Variant(static_cast<int32_t>(value.uint32Value));
      return true;
    case ScriptType::Float:
      *out = DoubleVariant(value.floatValue);
      return true;
    case ScriptType::Text:
    case ScriptType::WideText: {
      const std::string text =
          value.type == ScriptType::Text ? value.text : WideToUtf8(value.wideText);
      if (text.size() >= 0xFFFFFFFFu) return false;
      const uint32_t length = static_cast<uint32_t>(text.size());
      char* bytes = static_cast<char*>(NPN_MemAlloc(length + 1));
      if (!bytes) return false;
      std::memcpy(bytes, text.data(), length);
      bytes[length] = 0;
      *out = StringVariant(bytes, length);
      return true;
    }
    default:
      *out = VoidVariant();
      return true;
  }
}

EventArguments::EventArguments(const ScriptValue* args, size_t count) {
  // Every text is stored before any variant points at it: the vector must
  // not grow once pointers into its strings are taken.
  texts_.resize(count);
  for (size_t i = 0; i < count; ++i) {
    if (args[i].type == ScriptType::Text) texts_[i] = args[i].text;
    if (args[i].type == ScriptType::WideText) texts_[i] = WideToUtf8(args[i].wideText);
  }
  for (size_t i = 0; i < count; ++i) {
    const ScriptValue& arg = args[i];
    switch (arg.type) {
      case ScriptType::Bool:
        variants_.push_back(BoolVariant(arg.boolValue));
        break;
      case ScriptType::Int32:
        variants_.push_back(Int32Variant(arg.int32Value));
        break;
      case ScriptType::UInt32:
        variants_.push_back(Int32Variant(static_cast<int32_t>(arg.uint32Value)));
        break;
      case ScriptType::Float:
        variants_.push_back(DoubleVariant(arg.floatValue));
        break;
      case ScriptType::Text:
      case ScriptType::WideText:
        variants_.push_back(
            StringVariant(texts_[i].c_str(), static_cast<uint32_t>(texts_[i].size())));
        break;
      default:
        variants_.push_back(VoidVariant());
        break;
    }
  }
}

NPVariant VoidVariant() {
  NPVariant variant;
  std::memset(&variant, 0, sizeof(variant));
  variant.type = NPVariantType_Void;
  return variant;
}

NPVariant BoolVariant(bool value) {
  NPVariant variant = VoidVariant();
  variant.type = NPVariantType_Bool;
  variant.value.boolValue = value;
  return variant;
}

NPVariant Int32Variant(int32_t value) {
  NPVariant variant = VoidVariant();
  variant.type = NPVariantType_Int32;
  variant.value.intValue = value;
  return variant;
}

NPVariant DoubleVariant(double value) {
  NPVariant variant = VoidVariant();
  variant.type = NPVariantType_Double;
  variant.value.doubleValue = value;
  return variant;
}

NPVariant StringVariant(const char* bytes, uint32_t length) {
  NPVariant variant = VoidVariant();
  variant.type = NPVariantType_String;
  variant.value.stringValue.UTF8Characters = bytes;
  variant.value.stringValue.UTF8Length = length;
  return variant;
}

NPVariant ObjectVariant(NPObject* object) {
  NPVariant variant = VoidVariant();
  variant.type = NPVariantType_Object;
  variant.value.objectValue = object;
  return variant;
}
