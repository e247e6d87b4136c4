#include "FolderWalk.h"

#include <windows.h>

namespace {

bool IsDots(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

bool IsFolder(const WIN32_FIND_DATAW& data) {
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsReparsePoint(const WIN32_FIND_DATAW& data) {
  return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Holds a find handle so every return closes it.
class FolderListing {
 public:
  explicit FolderListing(const std::wstring& folder)
      : handle_(FindFirstFileW((folder + L"*").c_str(), &data_)) {}
  ~FolderListing() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  bool Opened() const { return handle_ != INVALID_HANDLE_VALUE; }
  const WIN32_FIND_DATAW& Entry() const { return data_; }
  bool Next() { return FindNextFileW(handle_, &data_) != FALSE; }

 private:
  WIN32_FIND_DATAW data_;
  HANDLE handle_;
};

}  // namespace

std::wstring WithTrailingSeparator(const std::wstring& folder) {
  if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/') return folder;
  return folder + L'\\';
}

void ListFilesRecursive(const std::wstring& folderIn, std::vector<std::wstring>& list) {
  if (folderIn.empty()) return;
  std::wstring folder = WithTrailingSeparator(folderIn);
  FolderListing listing(folder);
  if (!listing.Opened()) return;
  do {
    const WIN32_FIND_DATAW& entry = listing.Entry();
    if (IsDots(entry.cFileName)) continue;
    if (IsFolder(entry)) {
      if (!IsReparsePoint(entry)) ListFilesRecursive(folder + entry.cFileName + L"\\", list);
    } else {
      list.push_back(folder + entry.cFileName);
    }
  } while (listing.Next());
}

bool RemoveEmptyFolders(const std::wstring& folderIn) {
  if (folderIn.empty()) return false;
  std::wstring folder = WithTrailingSeparator(folderIn);
  bool empty = true;
  {
    FolderListing listing(folder);
    if (!listing.Opened()) {
      RemoveDirectoryW(folder.c_str());
      return true;
    }
    do {
      const WIN32_FIND_DATAW& entry = listing.Entry();
      if (IsDots(entry.cFileName)) continue;
      if (IsFolder(entry) && !IsReparsePoint(entry)) {
        if (!RemoveEmptyFolders(folder + entry.cFileName + L"\\")) empty = false;
      } else {
        empty = false;
      }
    } while (listing.Next());
  }
  if (!empty) return false;
  RemoveDirectoryW(folder.c_str());
  return true;
}
