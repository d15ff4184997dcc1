// The operating-system seam. Everything the launcher does to the registry, the
// file system or processes goes through these operations; one implementation
// talks to Win32, another keeps an in-memory world for host tests.
#pragma once

namespace platform {

typedef long Status;  // Win32 error code: 0 is success
constexpr Status kSuccess = 0;

enum class Root : unsigned char { kLocalMachine, kCurrentUser };

struct RegKeyTag;
typedef RegKeyTag* RegKey;

constexpr unsigned long kKeyRead = 0x20019;       // KEY_READ
constexpr unsigned long kKeyAllAccess = 0xF003F;  // KEY_ALL_ACCESS
constexpr unsigned long kRegSz = 1;
constexpr unsigned long kRegExpandSz = 2;
constexpr unsigned long kRegBinary = 3;
constexpr unsigned long kRegDword = 4;
constexpr unsigned long kFileAttributeReadOnly = 0x1;
constexpr unsigned long kInvalidFileAttributes = 0xFFFFFFFF;

// ---- Registry -------------------------------------------------------------
// Key handles are set only on success; on failure *key is left as it was.

// RegOpenKeyExA(root, path, 0, access).
[[nodiscard]] Status OpenKey(Root root, const char* path, unsigned long access,
                             RegKey* key);
// RegCreateKeyExA(root, path, 0, "", 0, KEY_ALL_ACCESS, NULL, key, &disp):
// opens an existing key, or creates it with the missing keys above it.
[[nodiscard]] Status CreateKey(Root root, const char* path, RegKey* key);
// RegCreateKeyA(root, path, key): the older form, used for the marker key.
[[nodiscard]] Status CreateKeyPlain(Root root, const char* path, RegKey* key);
// RegQueryValueExA without asking for the type. *size is the capacity in
// bytes on entry; fails when the value is absent or larger than that.
[[nodiscard]] Status QueryValue(RegKey key, const char* name, void* data,
                                unsigned long* size);
// RegSetValueExA: creates or replaces the value, type included.
[[nodiscard]] Status SetValue(RegKey key, const char* name, unsigned long type,
                              const void* data, unsigned long size);
[[nodiscard]] Status DeleteValue(RegKey key, const char* name);
// RegEnumKeyA: the subkey name at index; fails past the last subkey and for
// a name that does not fit capacity (terminator included).
[[nodiscard]] Status EnumKey(RegKey key, unsigned long index, char* name,
                             unsigned long capacity);
Status CloseKey(RegKey key);

// Owns one key handle and closes it on every path out of its scope.
class ScopedKey {
 public:
  ScopedKey() = default;
  ~ScopedKey() { Close(); }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;

  // For an out parameter: closes what is held first.
  RegKey* Receive() {
    Close();
    return &key_;
  }
  RegKey get() const { return key_; }
  bool valid() const { return key_ != nullptr; }
  void Close() {
    if (key_ != nullptr) {
      (void)CloseKey(key_);
      key_ = nullptr;
    }
  }

 private:
  RegKey key_ = nullptr;
};

// ---- Files and folders ----------------------------------------------------

// GetSystemDirectoryA: the system folder without a trailing backslash.
// Returns its length, 0 on failure or when it does not fit capacity (then
// the buffer is left as it was).
unsigned long SystemDirectory(char* buffer, unsigned long capacity);
[[nodiscard]] bool MakeFolder(const char* path);                  // CreateDirectoryA
unsigned long FileAttributes(const char* path);                   // GetFileAttributesA
[[nodiscard]] bool SetFileAttrs(const char* path, unsigned long attributes);
[[nodiscard]] bool RemoveFile(const char* path);                  // DeleteFileA
[[nodiscard]] bool CopyFileOver(const char* source, const char* target);  // CopyFileA(.., FALSE)

// ---- Process and environment ----------------------------------------------

const char* FullCommandLine();  // GetCommandLineA
unsigned long VersionWord();    // GetVersion
// Starts `application` with the command line `command` (program path first)
// and show state 5, without waiting for it. True when the program started.
[[nodiscard]] bool StartProgram(const char* application, const char* command);
void SleepMs(unsigned long milliseconds);
// True for a lead byte of a double-byte character in the ANSI code page.
bool IsLeadByte(unsigned char byte);

// ---- String helpers (pure; shared by both implementations) -----------------

// 0 when equal after folding only A-Z onto a-z; else -1 or +1.
int CompareNoCase(const char* a, const char* b);
// Last occurrence of c in s, the terminator counted; nullptr when none.
const char* FindLast(const char* s, char c);
// lstrcpynA: at most n - 1 characters, always terminated (n > 0).
void CopyN(char* destination, const char* source, unsigned long n);
// Bounded copy: the first n characters of source, or all of it padded with
// zeros to n; no terminator when source has n characters or more.
void CopyBounded(char* destination, const char* source, unsigned long n);
unsigned long Length(const char* s);
void ZeroFill(void* buffer, unsigned long size);
// Appends source when the result fits capacity (terminator included);
// otherwise leaves destination untouched and returns false.
[[nodiscard]] bool Append(char* destination, unsigned long capacity,
                          const char* source);

// Zero-fills destination and composes the pieces into it. When they do not
// fit, destination is left empty and the result is false: a path that does
// not fit is never used.
[[nodiscard]] bool Compose(char* destination, unsigned long capacity,
                           const char* a, const char* b = "",
                           const char* c = "");
template <unsigned long N>
[[nodiscard]] bool Compose(char (&destination)[N], const char* a,
                           const char* b = "", const char* c = "") {
  return Compose(destination, N, a, b, c);
}

// The command-line tail: the text behind the program name and the blanks
// after it. Returns a pointer into line.
const char* CommandLineTail(const char* line);

// ---- Phases of a run ---------------------------------------------------------

// The steps of a run, in the order the launcher takes them.
enum class Phase : unsigned char {
  kMarkerKey,       // the marker key is created
  kStaging,         // source folder, staging folder, deletes and copies
  kFamily,          // the version word is read
  kCarryOver,       // older settings carried over (2000 and XP)
  kOptionSettings,  // the option's own settings actions
  kInstallType,     // the install-type query of update and uninstall
  kResponseFile,    // the response file is staged
  kSetupStart,      // the staged setup program is started
  kWait,            // the marker key is polled until it is gone
};
// Names the phase that the operations after it belong to. Windows does
// nothing with it; the in-memory platform files its record of operations
// under it, so the preview can tell the steps of a run apart.
void EnterPhase(Phase phase);

}  // namespace platform
