// The manifest is plain text, one statement per line. Fields are separated
// by spaces or tabs, so names cannot contain either. Empty lines and lines
// whose first field starts with '#' are ignored. Versions are 1 to 65535
// (0 for the from-version of a delta), methods 0 (stored), 1 (LZO1X) or
// 2 (LZMA block).
//
//   product <name>                      product name (required)
//   serverversion <v>                   version of "version.pcfg" (required)
//   configversion <v>                   version of every other generated
//                                       configuration file (default 1)
//   configmethod <m>                    method of the configuration files (0)
//   settings <Name>=<value>...          root attributes of "resourcegroup.pcfg":
//                                       DeltaPackageCount, KeyDeltaPackageSpace,
//                                       DoubleKeyDeltaPackageSpace, HaveDeltaPackage
//   file <name> <v> <m>[:<wanted>] [source=<file>] [capacity=<n>]
//                                       a packaged resource; its content is
//                                       <resource folder>/<source or name>.
//                                       <wanted> is the method nibble local
//                                       packages are to use (default: the
//                                       method the image really stores).
//   loose <name> <v> <m>[:<wanted>] [source=<file>] [capacity=<n>]
//         [path=<relative path>] [attributes=<n>] [time=<FILETIME>]
//                                       an unpackaged file
//   removed <name> <v> [loose]          the resource is deleted at <v>
//   link <target> <member>...           a link group of "version.pcfg"
//   filelink <target> <member>...       a link group of "filelink.pcfg"
//   group <name> <v> [whole] [count=<n>]
//                                       a resource group at version <v> (its
//                                       "<name>.pcfg" and "<name>.pak"); the
//                                       next three statements add to it
//     first <name>...                   block 1: files of the group
//     sub <group>...                    block 2: sub-groups
//     last <name>...                    block 3: more files
//   single <name>...                    entries of "singlefiles.pcfg"
//   rule <level> <map>                  an idle rule, selected by that pair;
//                                       the next two statements add to it
//     rulefile <name>...                file items
//     rulegroup <group>...              group items
//   delta <name> <from> <to>            a delta package of a resource or a
//                                       group; <to> must be its version
//
// A file named like a generated configuration file ("resourcegroup.pcfg",
// "maps.pcfg", ...) is published in its place, so that a tree can carry a
// damaged configuration on purpose.
#include "PublisherManifest.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <sstream>

namespace Publisher {

namespace {

using Fields = std::vector<std::string>;

Fields Split(const std::string& line) {
  Fields fields;
  std::istringstream stream(line);
  std::string field;
  while (stream >> field) fields.push_back(field);
  return fields;
}

bool ParseUnsigned(const std::string& text, uint64_t max, uint64_t* value) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v > max) return false;
  *value = v;
  return true;
}

bool ParseSigned(const std::string& text, int32_t* value) {
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || errno != 0 || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
  *value = static_cast<int32_t>(v);
  return true;
}

bool ParseVersion(const std::string& text, bool allowZero, uint16_t* version) {
  uint64_t v = 0;
  if (!ParseUnsigned(text, 0xFFFF, &v) || (v == 0 && !allowZero)) return false;
  *version = static_cast<uint16_t>(v);
  return true;
}

bool ParseMethod(const std::string& text, int* method) {
  if (text != "0" && text != "1" && text != "2") return false;
  *method = text[0] - '0';
  return true;
}

bool ParseFlag(const std::string& text, bool* value) {
  if (text != "true" && text != "false") return false;
  *value = text == "true";
  return true;
}

bool SplitOption(const std::string& field, std::string* name, std::string* value) {
  const size_t eq = field.find('=');
  if (eq == std::string::npos || eq == 0) return false;
  *name = field.substr(0, eq);
  *value = field.substr(eq + 1);
  return true;
}

class Parser {
 public:
  Parser(Manifest* manifest) : m_(manifest) {}

  bool Line(int number, const Fields& f, std::string* problem);
  bool Finish(std::string* problem);

 private:
  bool Resource(const Fields& f, bool loose, std::string* problem);
  bool Removed(const Fields& f, std::string* problem);
  bool Group(const Fields& f, std::string* problem);
  bool Settings(const Fields& f, std::string* problem);
  bool Setting(const std::string& field);
  bool Rule(const Fields& f, std::string* problem);
  bool Delta(const Fields& f, std::string* problem);
  bool Links(const Fields& f, std::vector<ManifestLink>* links, std::string* problem);
  bool ResourceOption(const std::string& field, ManifestResource* r, std::string* problem);

  Manifest* m_;
  int line_ = 0;
  bool haveServerVersion_ = false;
  ManifestGroup* CurrentGroup() { return m_->groups.empty() ? nullptr : &m_->groups.back(); }
  ManifestRule* CurrentRule() { return m_->rules.empty() ? nullptr : &m_->rules.back(); }
};

bool Parser::Line(int number, const Fields& f, std::string* problem) {
  line_ = number;
  const std::string& k = f[0];
  const size_t n = f.size();
  if (k == "product") {
    if (n != 2) return *problem = "product takes one name", false;
    m_->product = f[1];
    return true;
  }
  if (k == "serverversion" || k == "configversion") {
    uint16_t v = 0;
    if (n != 2 || !ParseVersion(f[1], false, &v)) return *problem = k + " takes a version 1-65535", false;
    if (k == "serverversion") {
      m_->serverVersion = v;
      haveServerVersion_ = true;
    } else {
      m_->configVersion = v;
    }
    return true;
  }
  if (k == "configmethod") {
    if (n != 2 || !ParseMethod(f[1], &m_->configMethod)) return *problem = "configmethod takes 0, 1 or 2", false;
    return true;
  }
  if (k == "settings") return Settings(f, problem);
  if (k == "file") return Resource(f, false, problem);
  if (k == "loose") return Resource(f, true, problem);
  if (k == "removed") return Removed(f, problem);
  if (k == "link") return Links(f, &m_->links, problem);
  if (k == "filelink") return Links(f, &m_->fileLinks, problem);
  if (k == "group") return Group(f, problem);
  if (k == "first" || k == "sub" || k == "last") {
    ManifestGroup* group = CurrentGroup();
    if (group == nullptr) return *problem = k + " before any group", false;
    std::vector<std::string>* list = k == "first" ? &group->firstFiles
                                     : k == "sub" ? &group->subGroups
                                                  : &group->lastFiles;
    list->insert(list->end(), f.begin() + 1, f.end());
    return true;
  }
  if (k == "single") {
    m_->singleFiles.insert(m_->singleFiles.end(), f.begin() + 1, f.end());
    return true;
  }
  if (k == "rule") return Rule(f, problem);
  if (k == "rulefile" || k == "rulegroup") {
    ManifestRule* rule = CurrentRule();
    if (rule == nullptr) return *problem = k + " before any rule", false;
    for (size_t i = 1; i < n; ++i) rule->items.push_back(ManifestRuleItem{f[i], k == "rulegroup"});
    return true;
  }
  if (k == "delta") return Delta(f, problem);
  *problem = "unknown statement \"" + k + "\"";
  return false;
}

bool Parser::ResourceOption(const std::string& field, ManifestResource* r, std::string* problem) {
  std::string name, value;
  uint64_t number = 0;
  if (!SplitOption(field, &name, &value)) return *problem = "unexpected field \"" + field + "\"", false;
  if (name == "source" && !value.empty()) {
    r->source = value;
  } else if (name == "capacity" && ParseUnsigned(value, 0xFFFFFFFFull, &number)) {
    r->capacity = static_cast<uint32_t>(number);
  } else if (r->loose && name == "path" && !value.empty()) {
    r->path = value;
  } else if (r->loose && name == "attributes" && ParseUnsigned(value, 0xFFFFFFFFull, &number)) {
    r->attributes = static_cast<uint32_t>(number);
  } else if (r->loose && name == "time" && ParseUnsigned(value, UINT64_MAX, &number)) {
    r->time = number;
  } else {
    return *problem = "bad option \"" + field + "\"", false;
  }
  return true;
}

bool Parser::Resource(const Fields& f, bool loose, std::string* problem) {
  ManifestResource r;
  r.loose = loose;
  r.line = line_;
  if (f.size() < 4) return *problem = f[0] + " takes a name, a version and a method", false;
  r.name = f[1];
  if (!ParseVersion(f[2], false, &r.version)) return *problem = "bad version \"" + f[2] + "\"", false;
  const std::string& method = f[3];
  const size_t colon = method.find(':');
  if (!ParseMethod(method.substr(0, colon), &r.method)) return *problem = "bad method \"" + method + "\"", false;
  if (colon != std::string::npos) {
    if (!ParseMethod(method.substr(colon + 1), &r.wantedMethod)) return *problem = "bad method \"" + method + "\"", false;
    r.wantedGiven = true;
  }
  for (size_t i = 4; i < f.size(); ++i) {
    if (!ResourceOption(f[i], &r, problem)) return false;
  }
  m_->resources.push_back(r);
  return true;
}

bool Parser::Removed(const Fields& f, std::string* problem) {
  ManifestResource r;
  r.removed = true;
  r.line = line_;
  if (f.size() < 3 || f.size() > 4 || (f.size() == 4 && f[3] != "loose")) {
    return *problem = "removed takes a name, a version and optionally loose", false;
  }
  r.name = f[1];
  r.loose = f.size() == 4;
  if (!ParseVersion(f[2], false, &r.version)) return *problem = "bad version \"" + f[2] + "\"", false;
  m_->resources.push_back(r);
  return true;
}

bool Parser::Links(const Fields& f, std::vector<ManifestLink>* links, std::string* problem) {
  if (f.size() < 2) return *problem = f[0] + " takes a target and its members", false;
  links->push_back(ManifestLink{f[1], Fields(f.begin() + 2, f.end())});
  return true;
}

bool Parser::Group(const Fields& f, std::string* problem) {
  ManifestGroup g;
  g.line = line_;
  if (f.size() < 3) return *problem = "group takes a name and a version", false;
  g.name = f[1];
  if (!ParseVersion(f[2], false, &g.version)) return *problem = "bad version \"" + f[2] + "\"", false;
  for (size_t i = 3; i < f.size(); ++i) {
    std::string name, value;
    int32_t count = 0;
    if (f[i] == "whole") {
      g.wholeUpdate = true;
    } else if (SplitOption(f[i], &name, &value) && name == "count" && ParseSigned(value, &count)) {
      g.updateFileCount = count;
    } else {
      return *problem = "bad group option \"" + f[i] + "\"", false;
    }
  }
  m_->groups.push_back(g);
  return true;
}

bool Parser::Setting(const std::string& field) {
  FileSystem::DeltaSettings& s = m_->settings;
  std::string name, value;
  int32_t number = 0;
  if (!SplitOption(field, &name, &value)) return false;
  if (name == "DoubleKeyDeltaPackageSpace") return ParseFlag(value, &s.doubleKeyDeltaPackageSpace);
  if (name == "HaveDeltaPackage") return ParseFlag(value, &s.haveDeltaPackage);
  if (!ParseSigned(value, &number)) return false;
  if (name == "DeltaPackageCount") {
    s.deltaPackageCount = number;
    return true;
  }
  if (name == "KeyDeltaPackageSpace" && number > 0) {
    s.keyDeltaPackageSpace = number;
    return true;
  }
  return false;
}

bool Parser::Settings(const Fields& f, std::string* problem) {
  for (size_t i = 1; i < f.size(); ++i) {
    if (!Setting(f[i])) return *problem = "bad setting \"" + f[i] + "\"", false;
  }
  return true;
}

bool Parser::Rule(const Fields& f, std::string* problem) {
  ManifestRule r;
  if (f.size() != 3 || !ParseSigned(f[1], &r.level) || !ParseSigned(f[2], &r.map)) {
    return *problem = "rule takes a level and a map", false;
  }
  m_->rules.push_back(r);
  return true;
}

bool Parser::Delta(const Fields& f, std::string* problem) {
  ManifestDelta d;
  d.line = line_;
  if (f.size() != 4 || !ParseVersion(f[2], true, &d.from) || !ParseVersion(f[3], false, &d.to) ||
      d.from >= d.to) {
    return *problem = "delta takes a name, a from-version and a higher to-version", false;
  }
  d.name = f[1];
  m_->deltas.push_back(d);
  return true;
}

bool Parser::Finish(std::string* problem) {
  if (m_->product.empty()) return *problem = "no product statement", false;
  if (!haveServerVersion_) return *problem = "no serverversion statement", false;
  return true;
}

}  // namespace

bool ParseManifest(const std::string& text, Manifest* manifest, std::string* error) {
  *manifest = Manifest();
  Parser parser(manifest);
  std::istringstream stream(text);
  std::string line;
  int number = 0;
  std::string problem;
  while (std::getline(stream, line)) {
    ++number;
    const Fields fields = Split(line);
    if (fields.empty() || fields[0][0] == '#') continue;
    if (!parser.Line(number, fields, &problem)) {
      *error = "line " + std::to_string(number) + ": " + problem;
      return false;
    }
  }
  if (!parser.Finish(&problem)) {
    *error = problem;
    return false;
  }
  return true;
}

}  // namespace Publisher
