#include "ResourceGroupConfig.h"

#include <climits>
#include <cstring>
#include <exception>
#include <set>

#include <rapidxml.hpp>

#include "ResourceName.h"

namespace FileSystem {

namespace {

using XmlNode = rapidxml::xml_node<char>;
using XmlAttribute = rapidxml::xml_attribute<char>;

const XmlAttribute* Attribute(const XmlNode* node, const char* name) {
  return node->first_attribute(name, 0, true);
}

void ApplyInt(const XmlNode* node, const char* name, int* value) {
  if (const XmlAttribute* a = Attribute(node, name)) *value = ResourceGroupConfig::ParseInt(a->value());
}

void ApplyFlag(const XmlNode* node, const char* name, bool* value) {
  if (const XmlAttribute* a = Attribute(node, name)) *value = std::strcmp(a->value(), "true") == 0;
}

void ApplySettings(const XmlNode* root, DeltaSettings* settings) {
  ApplyInt(root, "DeltaPackageCount", &settings->deltaPackageCount);
  int space = settings->keyDeltaPackageSpace;
  ApplyInt(root, "KeyDeltaPackageSpace", &space);
  if (space > 0) settings->keyDeltaPackageSpace = space;
  ApplyFlag(root, "DoubleKeyDeltaPackageSpace", &settings->doubleKeyDeltaPackageSpace);
  ApplyFlag(root, "HaveDeltaPackage", &settings->haveDeltaPackage);
}

void AppendEscaped(const std::string& text, std::string* out) {
  for (char c : text) {
    switch (c) {
      case '&': *out += "&amp;"; break;
      case '<': *out += "&lt;"; break;
      case '>': *out += "&gt;"; break;
      case '"': *out += "&quot;"; break;
      case '\'': *out += "&apos;"; break;
      default: *out += c;
    }
  }
}

const char* FlagText(bool value) { return value ? "true" : "false"; }

}  // namespace

int ResourceGroupConfig::ParseInt(const char* text) {
  if (text == nullptr) return 0;
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long long value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return static_cast<int>(value);
}

ResourceGroupConfigResult ResourceGroupConfig::Parse(const char* data, size_t size) {
  groups.clear();
  duplicateName.clear();
  if (data == nullptr || size == 0) return ResourceGroupConfigResult::kEmpty;
  try {
    // The parser works in place and needs a terminating NUL.
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    rapidxml::xml_document<char> document;
    document.parse<0>(text.data());
    const XmlNode* root = document.first_node("ResourceGroups", 0, true);
    if (root == nullptr) return ResourceGroupConfigResult::kNoRoot;
    ApplySettings(root, &settings);
    std::set<ResourceKey> seen;
    for (const XmlNode* node = root->first_node("Group", 0, true); node != nullptr;
         node = node->next_sibling("Group", 0, true)) {
      const XmlAttribute* name = Attribute(node, "Name");
      if (name == nullptr) continue;
      ResourceGroupInfo group;
      // The name ends at its first 0, which "&#0;" can put inside it: the
      // key and the names of the group's files see no further, and the
      // written file must read back to the same name.
      group.name = name->value();
      ApplyFlag(node, "WholeUpdate", &group.wholeUpdate);
      ApplyInt(node, "UpdateFileCount", &group.updateFileCount);
      if (!seen.insert(HashResourceName(group.name.c_str())).second) {
        duplicateName = group.name;
        return ResourceGroupConfigResult::kDuplicateName;
      }
      groups.push_back(group);
    }
    return ResourceGroupConfigResult::kOk;
  } catch (const rapidxml::parse_error&) {
    return ResourceGroupConfigResult::kNotXml;
  } catch (const std::exception&) {
    // Out of memory for the copy or the parser's pool: the text could not
    // be read, which the caller treats like text that is not XML.
    return ResourceGroupConfigResult::kNotXml;
  }
}

std::string ResourceGroupConfig::Write() const {
  std::string out = "<ResourceGroups DeltaPackageCount=\"";
  out += std::to_string(settings.deltaPackageCount);
  out += "\" KeyDeltaPackageSpace=\"" + std::to_string(settings.keyDeltaPackageSpace);
  out += "\" DoubleKeyDeltaPackageSpace=\"";
  out += FlagText(settings.doubleKeyDeltaPackageSpace);
  out += "\" HaveDeltaPackage=\"";
  out += FlagText(settings.haveDeltaPackage);
  out += "\">\n";
  for (const ResourceGroupInfo& group : groups) {
    out += "  <Group Name=\"";
    AppendEscaped(group.name, &out);
    out += "\" WholeUpdate=\"";
    out += FlagText(group.wholeUpdate);
    out += "\" UpdateFileCount=\"" + std::to_string(group.updateFileCount) + "\"/>\n";
  }
  out += "</ResourceGroups>\n";
  return out;
}

const char* ResourceGroupConfig::ResultName(ResourceGroupConfigResult result) {
  switch (result) {
    case ResourceGroupConfigResult::kOk: return "ok";
    case ResourceGroupConfigResult::kEmpty: return "empty";
    case ResourceGroupConfigResult::kNotXml: return "not XML";
    case ResourceGroupConfigResult::kNoRoot: return "no ResourceGroups root";
    case ResourceGroupConfigResult::kDuplicateName: return "duplicate group name";
  }
  return "unknown";
}

}  // namespace FileSystem
