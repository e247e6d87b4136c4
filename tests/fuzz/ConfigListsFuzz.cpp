// Fuzz target for the binary configuration lists. Byte 0 picks the list, the
// rest is the file. A list that parses is written back and must read back
// equal; where the format has one spelling per value the written bytes are
// the input's own leading bytes. A list that fails keeps only what its
// contract says it keeps.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ByteReader.h"
#include "FileLinkConfig.h"
#include "FuzzCheck.h"
#include "GroupFileList.h"
#include "KeyList.h"
#include "LinkGroup.h"
#include "SingleFileList.h"
#include "UpdateRuleFile.h"
#include "UpdateRuleList.h"
#include "VersionConfig.h"

using namespace FileSystem;

namespace {

bool IsPrefix(const std::vector<uint8_t>& written, const uint8_t* data, size_t size) {
  return written.size() <= size && std::memcmp(written.data(), data, written.size()) == 0;
}

size_t MemberKeys(const std::vector<LinkGroup>& groups) {
  size_t keys = 0;
  for (const LinkGroup& group : groups) keys += 1 + group.members.size();
  return keys;
}

// Each key and count of the link part takes bytes of the file.
void CheckLinkBound(const std::vector<LinkGroup>& groups, size_t size) {
  FUZZ_CHECK(MemberKeys(groups) * 8 + groups.size() * 4 <= size);
}

// Written back, the list reads back to the same values (same) and writes
// the same bytes again.
template <typename List, typename Same>
void CheckRewrite(const List& list, bool exact, const uint8_t* data, size_t size, Same same) {
  std::vector<uint8_t> written;
  FUZZ_CHECK(list.Write(&written));
  if (exact) FUZZ_CHECK(IsPrefix(written, data, size));
  List again;
  FUZZ_CHECK(again.Parse(written.data(), written.size()));
  FUZZ_CHECK(same(again, list));
  std::vector<uint8_t> rewritten;
  FUZZ_CHECK(again.Write(&rewritten) && rewritten == written);
}

void FileLinks(const uint8_t* data, size_t size) {
  FileLinkConfig config;
  const bool ok = config.Parse(data, size);
  CheckLinkBound(config.links, size);
  if (!ok) return;
  CheckRewrite(config, false, data, size, [](const FileLinkConfig& a, const FileLinkConfig& b) {
    return a.links == b.links;
  });
}

void Versions(const uint8_t* data, size_t size) {
  VersionConfig config;
  const bool ok = config.Parse(data, size);
  FUZZ_CHECK(config.versions.size() * VersionConfig::kVersionRecordSize <= size);
  CheckLinkBound(config.links, size);
  if (!ok) return;
  CheckRewrite(config, false, data, size, [](const VersionConfig& a, const VersionConfig& b) {
    return a.versions == b.versions && a.links == b.links;
  });
}

void SingleFiles(const uint8_t* data, size_t size) {
  SingleFileList list;
  if (!list.Parse(data, size)) {
    FUZZ_CHECK(list.files.empty());
    return;
  }
  FUZZ_CHECK(4 + list.files.size() * 8 <= size);
  CheckRewrite(list, true, data, size, [](const SingleFileList& a, const SingleFileList& b) {
    return a.files == b.files;
  });
}

void GroupFiles(const uint8_t* data, size_t size) {
  GroupFileList list;
  if (!list.Parse(data, size)) {
    FUZZ_CHECK(list.firstFiles.empty() && list.subGroups.empty() && list.lastFiles.empty());
    return;
  }
  FUZZ_CHECK(12 + (list.firstFiles.size() + list.subGroups.size() + list.lastFiles.size()) * 8 <=
             size);
  CheckRewrite(list, true, data, size, [](const GroupFileList& a, const GroupFileList& b) {
    return a.firstFiles == b.firstFiles && a.subGroups == b.subGroups && a.lastFiles == b.lastFiles;
  });
}

void RuleList(const uint8_t* data, size_t size) {
  UpdateRuleList list;
  if (!list.Parse(data, size)) {
    FUZZ_CHECK(list.rules.empty());
    return;
  }
  FUZZ_CHECK(4 + list.rules.size() * 8 == size);
  CheckRewrite(list, true, data, size, [](const UpdateRuleList& a, const UpdateRuleList& b) {
    return a.rules == b.rules;
  });
}

void RuleFile(const uint8_t* data, size_t size) {
  UpdateRuleFile file;
  const bool ok = file.Parse(data, size);
  size_t least = 4;
  for (const UpdateRuleEntry& entry : file.entries) {
    least += entry.isGroup ? 2 + entry.name.size() : 9;
    if (!entry.isGroup) FUZZ_CHECK(entry.name.empty());
  }
  FUZZ_CHECK(file.entries.empty() || least <= size);
  if (!ok) return;
  CheckRewrite(file, false, data, size, [](const UpdateRuleFile& a, const UpdateRuleFile& b) {
    return a.entries == b.entries;
  });
}

// The shared record readers straight over a ByteReader: a key list, then
// link groups as many as the next field says.
void Records(const uint8_t* data, size_t size) {
  ByteReader reader(data, size);
  std::vector<ResourceKey> keys;
  if (ReadKeyList(&reader, &keys)) FUZZ_CHECK(reader.Position() == 4 + keys.size() * 8);
  else FUZZ_CHECK(keys.empty());
  FUZZ_CHECK(reader.Position() <= size);
  uint32_t count = 0;
  if (!reader.ReadU32(&count)) return;
  std::vector<LinkGroup> groups;
  const size_t before = reader.Position();
  ReadLinkGroups(&reader, count, &groups);
  FUZZ_CHECK(groups.size() <= count);
  FUZZ_CHECK(MemberKeys(groups) * 8 + groups.size() * 4 <= reader.Position() - before);
  FUZZ_CHECK(reader.Position() <= size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t len) {
  if (len < 1) return 0;
  const FuzzSupport::ExactCopy copy(data + 1, len - 1);
  void (*const lists[])(const uint8_t*, size_t) = {FileLinks, Versions, SingleFiles, GroupFiles,
                                                   RuleList,  RuleFile, Records};
  lists[data[0] % (sizeof lists / sizeof lists[0])](copy.Data(), copy.Size());
  return 0;
}
