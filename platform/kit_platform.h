// The operating-system operations KIT.EXE needs beyond those of platform.h:
// the machine's name and clock, whole files read and written, folder
// listings, registry values enumerated and keys opened below an open key,
// and the standard handles. Single-byte ("A") functions only, as there.
#pragma once

#include "platform/platform.h"

namespace platform {

constexpr unsigned long kKeyCreateSubKey = 0x0004;  // KEY_CREATE_SUB_KEY
constexpr unsigned long kKeySetValue = 0x0002;      // KEY_SET_VALUE
constexpr unsigned long kFileAttributeDirectory = 0x10;

// Win32 error codes the kit tells apart.
constexpr Status kErrorFileNotFound = 2;
constexpr Status kErrorPathNotFound = 3;
constexpr Status kErrorSharingViolation = 32;
constexpr Status kErrorLockViolation = 33;
constexpr Status kErrorMoreData = 234;
constexpr Status kErrorNoMoreItems = 259;

struct FileTag;
typedef FileTag* File;  // an open file; nullptr for none

// ---- Machine ----------------------------------------------------------------

// GetComputerNameA: the name and its length, 0 when it fails or does not
// fit capacity (terminator included).
unsigned long ComputerName(char* buffer, unsigned long capacity);
// The folder the program was started from (GetModuleFileNameA of the
// program, without its file name and the backslash before it); 0 when it
// does not fit capacity.
unsigned long ProgramFolder(char* buffer, unsigned long capacity);
// GetEnvironmentVariableA: the variable's value and its length; 0 when it
// is not set, is empty or does not fit capacity.
unsigned long EnvironmentValue(const char* name, char* buffer, unsigned long capacity);
// GetVersionExA's build number (its low word; 9x keeps the version in the
// high word).
unsigned long BuildNumber();

struct LocalTime {
  unsigned short year, month, day, hour, minute, second;
};
void ReadLocalTime(LocalTime* time);  // GetLocalTime

// ---- Files --------------------------------------------------------------------

// CreateFileA for writing, creating the file or emptying an existing one.
[[nodiscard]] Status CreateOutputFile(const char* path, File* file);
// CreateFileA for writing without sharing, creating the file when missing,
// positioned at its end. kErrorSharingViolation while another holds it.
[[nodiscard]] Status OpenForAppend(const char* path, File* file);
// The whole content, when it fits capacity: *size bytes in buffer. A file
// larger than capacity fails with kErrorMoreData.
[[nodiscard]] Status ReadWholeFile(const char* path, char* buffer,
                                   unsigned long capacity, unsigned long* size);
// WriteFile of all size bytes; false when fewer were written.
[[nodiscard]] bool WriteBytes(File file, const void* data, unsigned long size);
// CloseHandle; false when the data may not have been written.
[[nodiscard]] bool CloseFile(File file);
// GetStdHandle; nullptr when the process has none.
File StandardOutput();
File StandardError();

// FindFirstFileA/FindNextFileA over the entries of a folder ("." and ".."
// included, as Windows lists them). Each call gives the next name; false at
// the end, when the folder does not exist, or for a name that does not fit
// capacity. Ends the listing when it returns false.
struct FolderListing {
  void* handle = nullptr;
  bool started = false;
};
[[nodiscard]] bool NextInFolder(const char* folder, FolderListing* listing,
                                char* name, unsigned long capacity);
// Ends a listing early.
void EndListing(FolderListing* listing);

// ---- Registry -------------------------------------------------------------------

// RegOpenKeyExA(parent, name, 0, access): a key below an open one.
[[nodiscard]] Status OpenSubkey(RegKey parent, const char* name,
                                unsigned long access, RegKey* key);
// RegEnumValueA: the value at index, its name (capacity counts the
// terminator; *name_length is set to the name's length), type and data
// (*size bytes; capacity on entry). kErrorNoMoreItems past the last value,
// kErrorMoreData when the name or the data does not fit.
[[nodiscard]] Status EnumValue(RegKey key, unsigned long index, char* name,
                               unsigned long name_capacity,
                               unsigned long* name_length, unsigned long* type,
                               void* data, unsigned long* size);

}  // namespace platform
