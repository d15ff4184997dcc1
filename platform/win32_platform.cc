// The platform operations on Win32, single-byte ("A") functions only. This is
// the one file that sees windows.h; it comes after our own header so that no
// Win32 macro can rename anything declared there.
#include "platform/platform.h"

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

namespace platform {

static_assert(kSuccess == ERROR_SUCCESS, "status codes are Win32's");
static_assert(kKeyRead == KEY_READ && kKeyAllAccess == KEY_ALL_ACCESS,
              "access masks are Win32's");
static_assert(kRegSz == REG_SZ && kRegExpandSz == REG_EXPAND_SZ &&
                  kRegBinary == REG_BINARY && kRegDword == REG_DWORD,
              "value types are Win32's");
static_assert(kFileAttributeReadOnly == FILE_ATTRIBUTE_READONLY &&
                  kInvalidFileAttributes == INVALID_FILE_ATTRIBUTES,
              "attribute bits are Win32's");
static_assert(sizeof(RegKey) == sizeof(HKEY), "a key is a Win32 HKEY");

namespace {

// Command lines are composed in 500-byte path buffers; CreateProcessA wants
// a writable copy.
constexpr unsigned long kCommandCapacity = 500;
// GetSystemDirectoryA never returns more than a path's worth.
constexpr unsigned long kSystemDirectoryCapacity = MAX_PATH;

HKEY RootKey(Root root) {
  return root == Root::kCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

HKEY Handle(RegKey key) { return reinterpret_cast<HKEY>(key); }

}  // namespace

// ---- Registry -------------------------------------------------------------

Status OpenKey(Root root, const char* path, unsigned long access, RegKey* key) {
  HKEY opened = nullptr;
  const Status status = RegOpenKeyExA(RootKey(root), path, 0, access, &opened);
  if (status == kSuccess) *key = reinterpret_cast<RegKey>(opened);
  return status;
}

Status CreateKey(Root root, const char* path, RegKey* key) {
  HKEY created = nullptr;
  DWORD disposition = 0;
  char empty_class[] = "";
  const Status status =
      RegCreateKeyExA(RootKey(root), path, 0, empty_class,
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &created, &disposition);
  if (status == kSuccess) *key = reinterpret_cast<RegKey>(created);
  return status;
}

Status CreateKeyPlain(Root root, const char* path, RegKey* key) {
  HKEY created = nullptr;
  const Status status = RegCreateKeyA(RootKey(root), path, &created);
  if (status == kSuccess) *key = reinterpret_cast<RegKey>(created);
  return status;
}

Status QueryValue(RegKey key, const char* name, void* data,
                  unsigned long* size) {
  return RegQueryValueExA(Handle(key), name, nullptr, nullptr,
                          static_cast<BYTE*>(data), size);
}

Status SetValue(RegKey key, const char* name, unsigned long type,
                const void* data, unsigned long size) {
  return RegSetValueExA(Handle(key), name, 0, type,
                        static_cast<const BYTE*>(data), size);
}

Status DeleteValue(RegKey key, const char* name) {
  return RegDeleteValueA(Handle(key), name);
}

Status EnumKey(RegKey key, unsigned long index, char* name,
               unsigned long capacity) {
  return RegEnumKeyA(Handle(key), index, name, capacity);
}

Status CloseKey(RegKey key) { return RegCloseKey(Handle(key)); }

// ---- Files and folders ----------------------------------------------------

unsigned long SystemDirectory(char* buffer, unsigned long capacity) {
  // Read into our own buffer first: when the path does not fit, the caller's
  // buffer must stay as it was.
  char local[kSystemDirectoryCapacity];
  const unsigned long length = GetSystemDirectoryA(local, sizeof local);
  if (length == 0 || length >= sizeof local || length >= capacity) return 0;
  CopyN(buffer, local, length + 1);
  return length;
}

bool MakeFolder(const char* path) {
  return CreateDirectoryA(path, nullptr) != FALSE;
}

unsigned long FileAttributes(const char* path) {
  return GetFileAttributesA(path);
}

bool SetFileAttrs(const char* path, unsigned long attributes) {
  return SetFileAttributesA(path, attributes) != FALSE;
}

bool RemoveFile(const char* path) { return DeleteFileA(path) != FALSE; }

bool CopyFileOver(const char* source, const char* target) {
  return CopyFileA(source, target, FALSE) != FALSE;
}

// ---- Process and environment ----------------------------------------------

const char* FullCommandLine() { return GetCommandLineA(); }

unsigned long VersionWord() { return GetVersion(); }

bool StartProgram(const char* application, const char* command) {
  char line[kCommandCapacity];
  if (Length(command) >= sizeof line) return false;  // never run a cut command
  CopyN(line, command, sizeof line);

  STARTUPINFOA startup;
  ZeroFill(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION process;
  ZeroFill(&process, sizeof process);

  // With the application named, the program is never found by guessing
  // where an unquoted path ends.
  if (CreateProcessA(application, line, nullptr, nullptr, FALSE, 0, nullptr,
                     nullptr, &startup, &process) == FALSE) {
    return false;
  }
  // We never wait on the process or its thread.
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

void SleepMs(unsigned long milliseconds) { Sleep(milliseconds); }

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

// Only the in-memory platform keeps a record of the run.
void EnterPhase(Phase) {}

}  // namespace platform
