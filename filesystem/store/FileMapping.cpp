#include "store/FileMapping.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <new>

#include "store/FileMappingBuffer.h"

namespace FileSystem {

namespace {

// The same for the process's whole life.
uint64_t AllocationGranularity() {
  static const uint64_t granularity = [] {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return static_cast<uint64_t>(info.dwAllocationGranularity);
  }();
  return granularity;
}

}  // namespace

FileMapping* FileMapping::Create(const char* path, bool write, uint32_t maxSize) {
  if (path == nullptr) return nullptr;
  bool created = false;
  int fd;
  if (!write) {
    fd = _open(path, _O_BINARY | _O_RDONLY);
  } else if (_access(path, 0) == 0) {
    fd = _open(path, _O_BINARY | _O_RDWR);
    // An empty package is one whose creator stopped (or has not yet come)
    // between creating the file and sizing it: it holds nothing, and left
    // unmapped it would stop every later scan of the numbered packages
    // before the ones written after it. It is sized here as a new one is.
    created = fd != -1 && _filelengthi64(fd) == 0;
  } else {
    fd = _open(path, _O_BINARY | _O_RDWR | _O_CREAT, _S_IREAD | _S_IWRITE);
    created = fd != -1;
  }
  if (fd == -1) return nullptr;
  HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  // A new package takes its full size at once; an existing one never grows.
  HANDLE handle = CreateFileMappingA(file, nullptr, write ? PAGE_READWRITE : PAGE_READONLY, 0,
                                     created ? maxSize : 0, nullptr);
  if (handle == nullptr) {
    _close(fd);
    return nullptr;
  }
  // The section never reaches past the size it was made with, so that size
  // is what every view is checked against for the mapping's life: a file
  // grown later by another process only shows through a fresh open.
  LARGE_INTEGER length;
  if (!GetFileSizeEx(file, &length) || length.QuadPart <= 0) {
    CloseHandle(handle);
    _close(fd);
    return nullptr;
  }
  uint64_t size = static_cast<uint64_t>(length.QuadPart);
  if (created && size > maxSize) size = maxSize;
  FileMapping* mapping = new (std::nothrow) FileMapping();
  ViewRegistry* views = new (std::nothrow) ViewRegistry();
  if (mapping == nullptr || views == nullptr) {
    delete mapping;
    delete views;
    CloseHandle(handle);
    _close(fd);
    return nullptr;
  }
  mapping->fd_ = fd;
  mapping->handle_ = handle;
  mapping->views_ = views;
  mapping->write_ = write;
  mapping->size_ = size;
  return mapping;
}

FileMapping::~FileMapping() {
  // Views still held by file objects belong to those objects: they are only
  // detached here, and each is unmapped and freed once by its holder.
  {
    ScopedLock guard(views_->lock);
    while (views_->head != nullptr) views_->head->Unlink();
  }
  views_->ReleaseReference();
  if (handle_ != nullptr) CloseHandle(handle_);
  if (fd_ != -1) _close(fd_);
}

bool FileMapping::GetFileSize(uint64_t* size) const {
  if (fd_ == -1) return false;
  *size = size_;
  return true;
}

HANDLE FileMapping::FileHandle() const { return reinterpret_cast<HANDLE>(_get_osfhandle(fd_)); }

FileMappingBuffer* FileMapping::MapView(uint64_t offset, uint32_t length, bool read, bool write) {
  if (write && !write_) return nullptr;
  uint64_t fileSize = 0;
  if (!GetFileSize(&fileSize)) return nullptr;
  if (length == 0) {
    if (fileSize == 0 || offset >= fileSize || fileSize - offset > 0xFFFFFFFFu) return nullptr;
    length = static_cast<uint32_t>(fileSize - offset);
  }
  if (offset > fileSize || length > fileSize - offset) return nullptr;
  const uint64_t granularity = AllocationGranularity();
  const uint64_t start = offset - offset % granularity;
  const uint64_t viewSize = offset - start + length;
  if (viewSize > static_cast<uint64_t>(SIZE_MAX)) return nullptr;
  DWORD access = 0;
  if (write) access |= FILE_MAP_WRITE;
  if (read || !write) access |= FILE_MAP_READ;
  void* base = MapViewOfFile(handle_, access, static_cast<DWORD>(start >> 32),
                             static_cast<DWORD>(start), static_cast<SIZE_T>(viewSize));
  if (base == nullptr) return nullptr;
  FileMappingBuffer* view = new (std::nothrow)
      FileMappingBuffer(views_, this, base, static_cast<size_t>(viewSize),
                        static_cast<uint8_t*>(base) + (offset - start), length);
  if (view == nullptr) {
    UnmapViewOfFile(base);
    return nullptr;
  }
  ScopedLock guard(views_->lock);
  view->next_ = views_->head;
  if (views_->head != nullptr) views_->head->previous_ = view;
  views_->head = view;
  return view;
}

}  // namespace FileSystem
