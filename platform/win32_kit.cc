// The operations of kit_platform.h on Win32, single-byte functions of
// Windows 95 only. Like win32_platform.cc, windows.h comes after our own
// header.
#include "platform/kit_platform.h"

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

namespace platform {

static_assert(kKeyCreateSubKey == KEY_CREATE_SUB_KEY &&
                  kKeySetValue == KEY_SET_VALUE,
              "access masks are Win32's");
static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND &&
                  kErrorPathNotFound == ERROR_PATH_NOT_FOUND &&
                  kErrorSharingViolation == ERROR_SHARING_VIOLATION &&
                  kErrorLockViolation == ERROR_LOCK_VIOLATION &&
                  kErrorMoreData == ERROR_MORE_DATA &&
                  kErrorNoMoreItems == ERROR_NO_MORE_ITEMS,
              "status codes are Win32's");
static_assert(kFileAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY,
              "attribute bits are Win32's");

namespace {

HKEY Handle(RegKey key) { return reinterpret_cast<HKEY>(key); }
HANDLE Handle(File file) { return reinterpret_cast<HANDLE>(file); }

Status Opened(HANDLE handle, File* file) {
  if (handle == INVALID_HANDLE_VALUE) return static_cast<Status>(GetLastError());
  *file = reinterpret_cast<File>(handle);
  return kSuccess;
}

File Standard(DWORD which) {
  HANDLE handle = GetStdHandle(which);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return reinterpret_cast<File>(handle);
}

}  // namespace

unsigned long ComputerName(char* buffer, unsigned long capacity) {
  DWORD size = capacity;
  if (GetComputerNameA(buffer, &size) == FALSE || size >= capacity) return 0;
  return size;
}

unsigned long ProgramFolder(char* buffer, unsigned long capacity) {
  const DWORD length = GetModuleFileNameA(nullptr, buffer, capacity);
  if (length == 0 || length >= capacity) return 0;
  const char* slash = FindLast(buffer, '\\');
  if (slash == nullptr) return 0;
  const unsigned long folder = static_cast<unsigned long>(slash - buffer);
  buffer[folder] = 0;
  return folder;
}

unsigned long EnvironmentValue(const char* name, char* buffer, unsigned long capacity) {
  const DWORD length = GetEnvironmentVariableA(name, buffer, capacity);
  return length < capacity ? length : 0;
}

unsigned long BuildNumber() {
  OSVERSIONINFOA info;
  ZeroFill(&info, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  if (GetVersionExA(&info) == FALSE) return 0;
  return info.dwBuildNumber & 0xFFFF;
}

void ReadLocalTime(LocalTime* time) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  time->year = now.wYear;
  time->month = now.wMonth;
  time->day = now.wDay;
  time->hour = now.wHour;
  time->minute = now.wMinute;
  time->second = now.wSecond;
}

Status CreateOutputFile(const char* path, File* file) {
  return Opened(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr),
                file);
}

Status OpenForAppend(const char* path, File* file) {
  HANDLE handle = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return static_cast<Status>(GetLastError());
  if (SetFilePointer(handle, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR) {
    const Status status = static_cast<Status>(GetLastError());
    CloseHandle(handle);
    return status;
  }
  *file = reinterpret_cast<File>(handle);
  return kSuccess;
}

Status ReadWholeFile(const char* path, char* buffer, unsigned long capacity,
                     unsigned long* size) {
  HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return static_cast<Status>(GetLastError());
  // One byte more than fits tells a file that is too large.
  DWORD read = 0;
  Status status = kSuccess;
  unsigned long total = 0;
  char extra = 0;
  for (;;) {
    const bool room = total < capacity;
    if (ReadFile(handle, room ? buffer + total : &extra,
                 room ? capacity - total : 1, &read, nullptr) == FALSE) {
      status = static_cast<Status>(GetLastError());
      break;
    }
    if (read == 0) break;
    if (!room) {
      status = kErrorMoreData;
      break;
    }
    total += read;
  }
  CloseHandle(handle);
  if (status == kSuccess) *size = total;
  return status;
}

bool WriteBytes(File file, const void* data, unsigned long size) {
  DWORD written = 0;
  return WriteFile(Handle(file), data, size, &written, nullptr) != FALSE &&
         written == size;
}

bool CloseFile(File file) { return CloseHandle(Handle(file)) != FALSE; }

File StandardOutput() { return Standard(STD_OUTPUT_HANDLE); }

File StandardError() { return Standard(STD_ERROR_HANDLE); }

bool NextInFolder(const char* folder, FolderListing* listing, char* name,
                  unsigned long capacity) {
  WIN32_FIND_DATAA found;
  if (!listing->started) {
    listing->started = true;
    char pattern[MAX_PATH];
    if (!Compose(pattern, folder, "\\*")) return false;
    HANDLE handle = FindFirstFileA(pattern, &found);
    if (handle == INVALID_HANDLE_VALUE) return false;
    listing->handle = handle;
  } else if (listing->handle == nullptr ||
             FindNextFileA(listing->handle, &found) == FALSE) {
    EndListing(listing);
    return false;
  }
  if (Length(found.cFileName) >= capacity) {
    EndListing(listing);
    return false;
  }
  CopyN(name, found.cFileName, capacity);
  return true;
}

void EndListing(FolderListing* listing) {
  if (listing->handle != nullptr) FindClose(listing->handle);
  listing->handle = nullptr;
}

Status OpenSubkey(RegKey parent, const char* name, unsigned long access,
                  RegKey* key) {
  HKEY opened = nullptr;
  const Status status = RegOpenKeyExA(Handle(parent), name, 0, access, &opened);
  if (status == kSuccess) *key = reinterpret_cast<RegKey>(opened);
  return status;
}

Status EnumValue(RegKey key, unsigned long index, char* name,
                 unsigned long name_capacity, unsigned long* name_length,
                 unsigned long* type, void* data, unsigned long* size) {
  DWORD length = name_capacity;
  DWORD kind = 0;
  DWORD bytes = *size;
  const Status status =
      RegEnumValueA(Handle(key), index, name, &length, nullptr, &kind,
                    static_cast<BYTE*>(data), &bytes);
  if (status != kSuccess) return status;
  *name_length = length;
  *type = kind;
  *size = bytes;
  return kSuccess;
}

}  // namespace platform
