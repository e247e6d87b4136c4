#include "ScriptValue.h"

const char* ScriptTypeName(ScriptType type) {
  switch (type) {
    case ScriptType::Void: return "void";
    case ScriptType::Bool: return "bool";
    case ScriptType::Int32: return "int32";
    case ScriptType::UInt32: return "uint32";
    case ScriptType::Float: return "float";
    case ScriptType::Text: return "text";
    case ScriptType::WideText: return "wide text";
  }
  return "unknown";
}

ScriptValue ScriptValue::Void() { return ScriptValue(); }

ScriptValue ScriptValue::Bool(bool value) {
  ScriptValue v;
  v.type = ScriptType::Bool;
  v.boolValue = value;
  return v;
}

ScriptValue ScriptValue::Int32(int32_t value) {
  ScriptValue v;
  v.type = ScriptType::Int32;
  v.int32Value = value;
  return v;
}

ScriptValue ScriptValue::UInt32(uint32_t value) {
  ScriptValue v;
  v.type = ScriptType::UInt32;
  v.uint32Value = value;
  return v;
}

ScriptValue ScriptValue::Float(float value) {
  ScriptValue v;
  v.type = ScriptType::Float;
  v.floatValue = value;
  return v;
}

ScriptValue ScriptValue::Text(const std::string& value) {
  ScriptValue v;
  v.type = ScriptType::Text;
  v.text = value;
  return v;
}

ScriptValue ScriptValue::WideText(const std::wstring& value) {
  ScriptValue v;
  v.type = ScriptType::WideText;
  v.wideText = value;
  return v;
}
