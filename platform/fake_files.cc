// The in-memory file system: folders and files under drive roots, names
// compared ASCII case-insensitively. Drive roots ("C:\") always exist; a
// file stored with attributes 0 reads back FILE_ATTRIBUTE_NORMAL (0x80), a
// folder FILE_ATTRIBUTE_DIRECTORY (0x10) plus what was set on it.
#include <map>

#include "platform/fake_internal.h"
#include "platform/fake_platform.h"

namespace fake {

namespace {

using internal::Fold;

constexpr unsigned long kDirectory = 0x10;  // FILE_ATTRIBUTE_DIRECTORY
constexpr unsigned long kNormal = 0x80;     // FILE_ATTRIBUTE_NORMAL

struct Entry {
  std::string path;  // full path, first spelling
  bool folder = false;
  std::string contents;
  unsigned long attributes = kNormal;
};

void AddFolders(const std::string& full);

struct Files {
  std::map<std::string, Entry> entries;  // by Fold(full path)
  std::string current = "C:\\";
  std::string system = "C:\\WINDOWS\\system32";
};

Files& Fs() {
  static Files files;
  static bool ready = false;
  if (!ready) {  // the system folder exists from the start, as after Reset
    ready = true;
    AddFolders(files.system);
  }
  return files;
}

bool IsDriveLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A full path like "C:\a\b" ("C:\" for a root) from an absolute or relative
// Windows path; "." and ".." are resolved and repeated separators merged as
// Windows does. False for an empty path or a network path.
bool FullPath(const std::string& in, std::string* out) {
  std::string path = in;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  if (path.empty() || path.compare(0, 2, "\\\\") == 0) return false;
  std::string drive;
  std::string rest;
  const std::string& current = Fs().current;  // always full
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':') {
    drive = path.substr(0, 2);
    rest = path.substr(2);
    if (rest.empty() || rest[0] != '\\') {
      // "C:name": relative to the current folder when on its drive.
      rest = (Fold(drive) == Fold(current.substr(0, 2)) ? current.substr(2)
                                                         : "\\") +
             "\\" + rest;
    }
  } else if (path[0] == '\\') {
    drive = current.substr(0, 2);
    rest = path;
  } else {
    drive = current.substr(0, 2);
    rest = current.substr(2) + "\\" + path;
  }
  std::vector<std::string> parts;
  std::string name;
  for (size_t i = 0; i <= rest.size(); ++i) {
    if (i < rest.size() && rest[i] != '\\') {
      name += rest[i];
      continue;
    }
    if (name == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!name.empty() && name != ".") {
      parts.push_back(name);
    }
    name.clear();
  }
  *out = drive;
  if (parts.empty()) *out += "\\";
  for (const std::string& part : parts) *out += "\\" + part;
  return true;
}

bool IsRoot(const std::string& full) { return full.size() == 3; }

std::string Parent(const std::string& full) {
  const size_t slash = full.rfind('\\');
  return slash == 2 ? full.substr(0, 3) : full.substr(0, slash);
}

std::string LastName(const std::string& full) {
  return full.substr(full.rfind('\\') + 1);
}

Entry* Lookup(const std::string& full) {
  auto it = Fs().entries.find(Fold(full));
  return it == Fs().entries.end() ? nullptr : &it->second;
}

bool FolderExists(const std::string& full) {
  if (IsRoot(full)) return true;
  const Entry* entry = Lookup(full);
  return entry != nullptr && entry->folder;
}

// The file (not folder) at path, or nullptr.
Entry* FileAt(const std::string& path) {
  std::string full;
  if (!FullPath(path, &full) || IsRoot(full)) return nullptr;
  Entry* entry = Lookup(full);
  return entry != nullptr && !entry->folder ? entry : nullptr;
}

void AddFolders(const std::string& full) {
  if (IsRoot(full) || FolderExists(full)) return;
  AddFolders(Parent(full));
  Entry entry;
  entry.path = full;
  entry.folder = true;
  entry.attributes = kDirectory;
  Fs().entries[Fold(full)] = entry;
}

}  // namespace

namespace internal {
void ResetFiles() {
  Fs() = Files();
  AddFolders(Fs().system);
}
}  // namespace internal

// ---- Control surface -------------------------------------------------------

void PutFile(const std::string& path, const std::string& contents,
             unsigned long attributes) {
  std::string full;
  if (!FullPath(path, &full) || IsRoot(full)) return;
  AddFolders(Parent(full));
  Entry entry;
  entry.path = full;
  entry.contents = contents;
  entry.attributes = attributes == 0 ? kNormal : attributes;
  Fs().entries[Fold(full)] = entry;
}

void PutFolder(const std::string& path) {
  std::string full;
  if (FullPath(path, &full)) AddFolders(full);
}

bool HasFile(const std::string& path) { return FileAt(path) != nullptr; }

bool HasFolder(const std::string& path) {
  std::string full;
  return FullPath(path, &full) && FolderExists(full);
}

std::string FileContents(const std::string& path) {
  const Entry* entry = FileAt(path);
  return entry != nullptr ? entry->contents : std::string();
}

unsigned long FileAttributesOf(const std::string& path) {
  std::string full;
  if (!FullPath(path, &full)) return platform::kInvalidFileAttributes;
  if (IsRoot(full)) return kDirectory;
  const Entry* entry = Lookup(full);
  return entry != nullptr ? entry->attributes
                          : platform::kInvalidFileAttributes;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::string full;
  if (!FullPath(folder, &full)) return names;
  const std::string folded = Fold(full);
  for (const auto& item : Fs().entries) {
    const Entry& entry = item.second;
    if (!entry.folder && Fold(Parent(entry.path)) == folded) {
      names.push_back(LastName(entry.path));
    }
  }
  return names;
}

// Both folders are created when missing.
void SetCurrentDirectory(const std::string& path) {
  std::string full;
  if (!FullPath(path, &full)) return;
  Fs().current = full;
  AddFolders(full);
}

void SetSystemDirectory(const std::string& path) {
  std::string full;
  if (!FullPath(path, &full)) return;
  Fs().system = full;
  AddFolders(full);
}

}  // namespace fake

// ---- Operations of platform.h ------------------------------------------------

namespace platform {

using fake::Entry;

unsigned long SystemDirectory(char* buffer, unsigned long capacity) {
  if (fake::internal::InjectedFailure()) return 0;
  const std::string& system = fake::Fs().system;
  if (buffer == nullptr || system.size() + 1 > capacity) return 0;
  system.copy(buffer, system.size());
  buffer[system.size()] = 0;
  return static_cast<unsigned long>(system.size());
}

bool MakeFolder(const char* path) {
  if (fake::internal::InjectedFailure()) return false;
  std::string full;
  if (path == nullptr || !fake::FullPath(path, &full)) return false;
  if (fake::IsRoot(full) || fake::Lookup(full) != nullptr) return false;
  if (!fake::FolderExists(fake::Parent(full))) return false;
  fake::AddFolders(full);
  return true;
}

unsigned long FileAttributes(const char* path) {
  if (fake::internal::InjectedFailure()) return kInvalidFileAttributes;
  if (path == nullptr) return kInvalidFileAttributes;
  return fake::FileAttributesOf(path);
}

bool SetFileAttrs(const char* path, unsigned long attributes) {
  if (fake::internal::InjectedFailure()) return false;
  std::string full;
  if (path == nullptr || !fake::FullPath(path, &full)) return false;
  Entry* entry = fake::Lookup(full);
  if (entry == nullptr) return false;
  // Directory and normal are not settable bits; a file with none reads back
  // as normal.
  unsigned long kept = attributes & ~(fake::kDirectory | fake::kNormal);
  if (entry->folder) {
    kept |= fake::kDirectory;
  } else if (kept == 0) {
    kept = fake::kNormal;
  }
  entry->attributes = kept;
  return true;
}

bool RemoveFile(const char* path) {
  if (fake::internal::InjectedFailure()) return false;
  if (path == nullptr) return false;
  const Entry* entry = fake::FileAt(path);
  if (entry == nullptr || (entry->attributes & kFileAttributeReadOnly) != 0) {
    return false;
  }
  fake::Fs().entries.erase(fake::internal::Fold(entry->path));
  return true;
}

bool CopyFileOver(const char* source, const char* target) {
  if (fake::internal::InjectedFailure()) return false;
  std::string from;
  std::string to;
  if (source == nullptr || target == nullptr ||
      !fake::FullPath(source, &from) || !fake::FullPath(target, &to)) {
    return false;
  }
  const Entry* original = fake::FileAt(from);
  if (original == nullptr || fake::IsRoot(to)) return false;
  if (fake::internal::Fold(from) == fake::internal::Fold(to)) return false;
  if (!fake::FolderExists(fake::Parent(to))) return false;
  Entry copy = *original;  // Windows copies the attributes too
  if (const Entry* existing = fake::Lookup(to)) {
    if (existing->folder) return false;
    if ((existing->attributes & kFileAttributeReadOnly) != 0) return false;
    copy.path = existing->path;  // an overwritten file keeps its spelling
  } else {
    copy.path = to;
  }
  fake::Fs().entries[fake::internal::Fold(to)] = copy;
  return true;
}

}  // namespace platform
