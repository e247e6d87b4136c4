#include "ArchiveExtraction.h"

#include <string>
#include <vector>

#include "7z.h"
#include "7zAlloc.h"
#include "7zCrc.h"
#include "ArchiveEntryName.h"
#include "MemoryLookInStream.h"

namespace {
// Paths are built in one buffer of this many units: the folder, then the name.
const size_t kPathCapacity = 4096;
const size_t kMaxFolderLength = 2047;
const size_t kMaxNameLength = 2047;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Creates every folder along path whose separator lies at or after `from`,
// turning each separator into '\'. Existing folders and failures are left to
// the file creation that follows to report.
void CreateFoldersAlong(std::wstring& path, size_t from) {
  for (size_t i = from; i < path.size(); ++i) {
    if (!IsSeparator(path[i])) continue;
    path[i] = 0;
    CreateDirectoryW(path.c_str(), nullptr);
    path[i] = L'\\';
  }
}

// Owns the 7z reader's database and its cached block for one extraction.
class ArchiveReader {
 public:
  ArchiveReader(const void* data, uint32_t size) : stream_(data, size) {
    allocMain_.Alloc = SzAlloc;
    allocMain_.Free = SzFree;
    allocTemp_.Alloc = SzAllocTemp;
    allocTemp_.Free = SzFreeTemp;
    CrcGenerateTable();
    SzArEx_Init(&db_);
  }

  ~ArchiveReader() {
    if (block_ != nullptr) ISzAlloc_Free(&allocMain_, block_);
    SzArEx_Free(&db_, &allocMain_);
  }

  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  bool Open() { return SzArEx_Open(&db_, stream_.Stream(), &allocMain_, &allocTemp_) == SZ_OK; }

  uint32_t Count() const { return db_.NumFiles; }
  bool IsDirectory(uint32_t i) const { return SzArEx_IsDir(&db_, i); }

  // The entry's name with its terminating 0 into name, grown when too small.
  int Name(uint32_t i, std::vector<wchar_t>& name) const {
    size_t length = SzArEx_GetFileNameUtf16(&db_, i, nullptr);
    if (length >= kMaxNameLength || length == 0)
      return length == 0 ? kExtractUnsafeName : kExtractNameTooLong;
    try {
      if (name.size() < length) name.resize(length);
    } catch (...) {
      return kExtractNoMemory;
    }
    static_assert(sizeof(wchar_t) == sizeof(UInt16), "7z names are UTF-16");
    SzArEx_GetFileNameUtf16(&db_, i, reinterpret_cast<UInt16*>(name.data()));
    name[length - 1] = 0;
    return kExtractOk;
  }

  SRes Extract(uint32_t i, const Byte** bytes, size_t* size) {
    size_t offset = 0;
    SRes res = SzArEx_Extract(&db_, stream_.Stream(), i, &blockIndex_, &block_, &blockSize_,
                              &offset, size, &allocMain_, &allocTemp_);
    *bytes = block_ != nullptr ? block_ + offset : nullptr;
    return res;
  }

  bool HasAttributes(uint32_t i) const { return SzBitWithVals_Check(&db_.Attribs, i); }
  uint32_t Attributes(uint32_t i) const { return db_.Attribs.Vals[i]; }
  bool HasTime(uint32_t i) const { return SzBitWithVals_Check(&db_.MTime, i); }
  FILETIME Time(uint32_t i) const {
    FILETIME time;
    time.dwLowDateTime = db_.MTime.Vals[i].Low;
    time.dwHighDateTime = db_.MTime.Vals[i].High;
    return time;
  }

 private:
  MemoryLookInStream stream_;
  ISzAlloc allocMain_;
  ISzAlloc allocTemp_;
  CSzArEx db_;
  UInt32 blockIndex_ = 0xFFFFFFFFu;
  Byte* block_ = nullptr;
  size_t blockSize_ = 0;
};

// Every name is checked before anything is written, so a hostile archive
// leaves no trace at all.
int CheckNames(const ArchiveReader& reader, std::vector<wchar_t>& scratch) {
  for (uint32_t i = 0; i < reader.Count(); ++i) {
    int code = reader.Name(i, scratch);
    if (code != kExtractOk) return code;
    if (!ArchiveEntryName::IsSafe(scratch.data())) return kExtractUnsafeName;
  }
  return kExtractOk;
}

int PrepareFolder(const wchar_t* destinationFolder, std::wstring& path) {
  path = destinationFolder != nullptr ? destinationFolder : L"";
  if (path.empty()) return kExtractOk;
  if (path.size() >= kMaxFolderLength) return kExtractFolderTooLong;
  if (!IsSeparator(path.back())) path += L'\\';
  CreateFoldersAlong(path, 0);
  return kExtractOk;
}

int ExtractEntry(ArchiveReader& reader, uint32_t i, std::wstring& path, size_t folderLength) {
  const Byte* bytes = nullptr;
  size_t size = 0;
  if (!reader.IsDirectory(i)) {
    SRes res = reader.Extract(i, &bytes, &size);
    if (res != SZ_OK) return res;
  }
  CreateFoldersAlong(path, folderLength);
  if (reader.IsDirectory(i)) {
    CreateDirectoryW(path.c_str(), nullptr);
    return kExtractOk;
  }
  if (size > 0xFFFFFFFFu) return kExtractBadArchiveOrShortWrite;
  FILETIME time = {};
  bool timeDefined = reader.HasTime(i);
  if (timeDefined) time = reader.Time(i);
  bool attributesDefined = reader.HasAttributes(i);
  return WriteExtractedFile(path.c_str(), bytes, static_cast<uint32_t>(size), attributesDefined,
                            attributesDefined ? reader.Attributes(i) : 0, timeDefined, &time);
}
}  // namespace

int ExtractArchiveToDirectory(const void* data, uint32_t size, const wchar_t* destinationFolder) {
  if (size == 0 || data == nullptr) return kExtractCannotCreate;
  ArchiveReader reader(data, size);
  if (!reader.Open()) return kExtractBadArchiveOrShortWrite;

  std::wstring path;
  std::vector<wchar_t> name;
  int result = CheckNames(reader, name);
  if (result == kExtractOk) result = PrepareFolder(destinationFolder, path);
  if (result != kExtractOk) return result;
  path.reserve(kPathCapacity);
  const size_t folderLength = path.size();

  for (uint32_t i = 0; i < reader.Count(); ++i) {
    int code = reader.Name(i, name);
    if (code == kExtractOk) {
      path.resize(folderLength);
      path += name.data();
      code = ExtractEntry(reader, i, path, folderLength);
    }
    if (code != kExtractOk && result == kExtractOk) result = code;
    // A file that could not be written does not stop the others; a
    // damaged archive or a lack of memory does.
    if (code != kExtractOk && code != kExtractCannotCreate &&
        code != kExtractBadArchiveOrShortWrite)
      break;
  }
  return result;
}

int WriteExtractedFile(const wchar_t* path, const void* data, uint32_t size, bool attributesDefined,
                       uint32_t attributes, bool timeDefined, const FILETIME* time) {
  HANDLE file =
      CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kExtractCannotCreate;
  DWORD written = 0;
  if (size != 0 && (!WriteFile(file, data, size, &written, nullptr) || written != size)) {
    CloseHandle(file);
    return kExtractBadArchiveOrShortWrite;
  }
  if (attributesDefined) {
    DWORD settable = ArchiveEntryName::SettableAttributes(attributes);
    SetFileAttributesW(path, settable != 0 ? settable : FILE_ATTRIBUTE_NORMAL);
  }
  if (timeDefined && time != nullptr) SetFileTime(file, time, time, time);
  CloseHandle(file);
  return kExtractOk;
}
