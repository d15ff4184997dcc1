// The in-memory file system: folders and files under drive roots ("C:\")
// and share roots ("\\server\share\"), names compared ASCII
// case-insensitively. Roots always exist; a file stored with attributes 0
// reads back FILE_ATTRIBUTE_NORMAL (0x80), a folder FILE_ATTRIBUTE_DIRECTORY
// (0x10) plus what was set on it.
#include <algorithm>
#include <map>

#include "platform/memory_internal.h"

namespace memory {

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

}  // namespace

struct internal::Files {
  std::map<std::string, Entry> entries;  // by Fold(full path)
  std::string current = "C:\\";
  std::string system = "C:\\WINDOWS\\system32";
};

namespace {

using internal::Files;

Files& Fs() { return *internal::Current().files; }

bool IsDriveLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The root a full path starts with: "C:" or "\\server\share" (its length).
// Full paths always go on with a backslash after it.
size_t RootLength(const std::string& full) {
  if (full.compare(0, 2, "\\\\") != 0) return 2;
  const size_t share = full.find('\\', 2) + 1;
  return std::min(full.find('\\', share), full.size());
}

// "\\server\share" and what follows it, from a path with backslashes only.
// False for what Windows does not take as a share: device paths ("\\.\",
// "\\?\"), a server without a share, an empty server or share name.
bool SplitShare(const std::string& path, std::string* root, std::string* rest) {
  if (path.size() >= 3 && (path[2] == '.' || path[2] == '?') &&
      (path.size() == 3 || path[3] == '\\')) {
    return false;
  }
  const size_t server_end = path.find('\\', 2);
  if (server_end == std::string::npos || server_end == 2) return false;
  size_t share_end = path.find('\\', server_end + 1);
  if (share_end == std::string::npos) share_end = path.size();
  if (share_end == server_end + 1) return false;
  *root = path.substr(0, share_end);
  *rest = path.substr(share_end);
  return true;
}

// A full path like "C:\a\b" or "\\server\share\a" (the root with its
// backslash for a root itself) from an absolute or relative Windows path;
// "." and ".." are resolved, never above the root, and repeated separators
// merged as Windows does. False for an empty path or one that names no
// file of a drive or share.
bool FullPath(const std::string& in, std::string* out) {
  std::string path = in;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  if (path.empty()) return false;
  const std::string& current = Fs().current;  // always full
  const std::string current_root = current.substr(0, RootLength(current));
  const std::string current_rest = current.substr(current_root.size());  // "\" at a root
  std::string root;
  std::string rest;
  if (path.compare(0, 2, "\\\\") == 0) {
    if (!SplitShare(path, &root, &rest)) return false;
  } else if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':') {
    root = path.substr(0, 2);
    rest = path.substr(2);
    if (rest.empty() || rest[0] != '\\') {
      // "C:name": relative to the current folder when on its drive; a
      // share as current folder leaves every drive at its root.
      rest = (Fold(root) == Fold(current_root) ? current_rest : "\\") + "\\" + rest;
    }
  } else if (path[0] == '\\') {
    root = current_root;  // "\name": from the root of the current drive or share
    rest = path;
  } else {
    root = current_root;
    rest = current_rest + "\\" + path;
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
  *out = root;
  if (parts.empty()) *out += "\\";
  for (const std::string& part : parts) *out += "\\" + part;
  return true;
}

bool IsRoot(const std::string& full) { return full.size() == RootLength(full) + 1; }

std::string Parent(const std::string& full) {
  const size_t slash = full.rfind('\\');
  return slash == RootLength(full) ? full.substr(0, slash + 1) : full.substr(0, slash);
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
  Current().files = std::make_shared<Files>();
  AddFolders(Fs().system);  // the system folder exists from the start
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

namespace {

// The names of the files, or the folders, right below folder.
std::vector<std::string> NamesIn(const std::string& folder, bool folders) {
  std::vector<std::string> names;
  std::string full;
  if (!FullPath(folder, &full)) return names;
  const std::string folded = Fold(full);
  for (const auto& item : Fs().entries) {
    const Entry& entry = item.second;
    if (entry.folder == folders && Fold(Parent(entry.path)) == folded) {
      names.push_back(LastName(entry.path));
    }
  }
  return names;
}

}  // namespace

std::vector<std::string> FilesIn(const std::string& folder) { return NamesIn(folder, false); }

std::vector<std::string> FoldersIn(const std::string& folder) { return NamesIn(folder, true); }

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

}  // namespace memory

// ---- Operations of platform.h ------------------------------------------------

namespace memory {
namespace {

Event FileEvent(Operation operation, const char* path) {
  Event event = internal::NewEvent(operation);
  if (path != nullptr) event.path = path;
  return event;
}

bool Journaled(Event event, platform::Status status) {
  event.status = status;
  internal::Record(std::move(event));
  return status == platform::kSuccess;
}

// Why a copy fails, with the code CopyFileA leaves.
platform::Status CopyStatus(const char* source, const char* target) {
  std::string from;
  std::string to;
  if (source == nullptr || target == nullptr || !FullPath(source, &from) ||
      !FullPath(target, &to)) {
    return kPathNotFound;
  }
  const Entry* original = FileAt(from);
  if (original == nullptr) {
    return FolderExists(Parent(from)) ? kFileNotFound : kPathNotFound;
  }
  if (IsRoot(to)) return kAccessDenied;
  if (internal::Fold(from) == internal::Fold(to)) return kAccessDenied;
  if (!FolderExists(Parent(to))) return kPathNotFound;
  Entry copy = *original;  // Windows copies the attributes too
  if (const Entry* existing = Lookup(to)) {
    if (existing->folder) return kAccessDenied;
    if ((existing->attributes & platform::kFileAttributeReadOnly) != 0) {
      return kAccessDenied;
    }
    copy.path = existing->path;  // an overwritten file keeps its spelling
  } else {
    copy.path = to;
  }
  Fs().entries[internal::Fold(to)] = copy;
  return platform::kSuccess;
}

}  // namespace
}  // namespace memory

namespace platform {

using memory::Entry;
using memory::Event;
using memory::Operation;

unsigned long SystemDirectory(char* buffer, unsigned long capacity) {
  Event event = memory::FileEvent(Operation::kSystemDirectory, nullptr);
  if (memory::internal::InjectedFailure()) {
    (void)memory::Journaled(event, memory::kAccessDenied);
    return 0;
  }
  const std::string& system = memory::Fs().system;
  if (buffer == nullptr || system.size() + 1 > capacity) {
    (void)memory::Journaled(event, memory::internal::kInvalidParameter);
    return 0;
  }
  system.copy(buffer, system.size());
  buffer[system.size()] = 0;
  event.path = system;
  (void)memory::Journaled(event, kSuccess);
  return static_cast<unsigned long>(system.size());
}

bool MakeFolder(const char* path) {
  Event event = memory::FileEvent(Operation::kMakeFolder, path);
  if (memory::internal::InjectedFailure()) {
    return memory::Journaled(event, memory::kAccessDenied);
  }
  std::string full;
  if (path == nullptr || !memory::FullPath(path, &full)) {
    return memory::Journaled(event, memory::kPathNotFound);
  }
  if (memory::IsRoot(full) || memory::Lookup(full) != nullptr) {
    return memory::Journaled(event, memory::internal::kAlreadyExists);
  }
  if (!memory::FolderExists(memory::Parent(full))) {
    return memory::Journaled(event, memory::kPathNotFound);
  }
  memory::AddFolders(full);
  return memory::Journaled(event, kSuccess);
}

unsigned long FileAttributes(const char* path) {
  Event event = memory::FileEvent(Operation::kFileAttributes, path);
  if (memory::internal::InjectedFailure()) {
    (void)memory::Journaled(event, memory::kAccessDenied);
    return kInvalidFileAttributes;
  }
  const unsigned long attributes =
      path == nullptr ? kInvalidFileAttributes : memory::FileAttributesOf(path);
  event.number = attributes;
  (void)memory::Journaled(event, attributes == kInvalidFileAttributes
                                     ? memory::kFileNotFound
                                     : kSuccess);
  return attributes;
}

bool SetFileAttrs(const char* path, unsigned long attributes) {
  Event event = memory::FileEvent(Operation::kSetFileAttributes, path);
  event.number = attributes;
  if (memory::internal::InjectedFailure()) {
    return memory::Journaled(event, memory::kAccessDenied);
  }
  std::string full;
  if (path == nullptr || !memory::FullPath(path, &full)) {
    return memory::Journaled(event, memory::kPathNotFound);
  }
  Entry* entry = memory::Lookup(full);
  if (entry == nullptr) return memory::Journaled(event, memory::kFileNotFound);
  // Directory and normal are not settable bits; a file with none reads back
  // as normal.
  unsigned long kept = attributes & ~(memory::kDirectory | memory::kNormal);
  if (entry->folder) {
    kept |= memory::kDirectory;
  } else if (kept == 0) {
    kept = memory::kNormal;
  }
  entry->attributes = kept;
  return memory::Journaled(event, kSuccess);
}

bool RemoveFile(const char* path) {
  Event event = memory::FileEvent(Operation::kRemoveFile, path);
  if (memory::internal::InjectedFailure()) {
    return memory::Journaled(event, memory::kAccessDenied);
  }
  const Entry* entry = path == nullptr ? nullptr : memory::FileAt(path);
  if (entry == nullptr) return memory::Journaled(event, memory::kFileNotFound);
  if ((entry->attributes & kFileAttributeReadOnly) != 0) {
    return memory::Journaled(event, memory::kAccessDenied);
  }
  memory::Fs().entries.erase(memory::internal::Fold(entry->path));
  return memory::Journaled(event, kSuccess);
}

bool CopyFileOver(const char* source, const char* target) {
  Event event = memory::FileEvent(Operation::kCopyFile, source);
  if (target != nullptr) event.target = target;
  if (memory::internal::InjectedFailure()) {
    return memory::Journaled(event, memory::kAccessDenied);
  }
  return memory::Journaled(event, memory::CopyStatus(source, target));
}

}  // namespace platform
