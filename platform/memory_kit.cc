// The operations of kit_platform.h on the in-memory machine (the registry's
// are in memory_registry.cc, beside its handles): the machine's name and
// clock, the standard handles, and files read, written and listed through
// the file system of memory_files.cc.
#include <algorithm>
#include <cstdint>
#include <map>

#include "platform/memory_internal.h"
#include "platform/memory_kit.h"

namespace memory {

namespace {

constexpr std::uintptr_t kStandardOutput = 1;
constexpr std::uintptr_t kStandardError = 2;

}  // namespace

struct internal::KitMachine {
  std::optional<std::string> name = std::string("WORKSTATION");
  unsigned long build = 2600;
  std::string program_folder = "C:\\KIT";
  std::map<std::string, std::string> environment;  // names upper case
  platform::LocalTime time = {2001, 10, 25, 12, 0, 0};
  std::string output;
  std::string error;
  std::map<std::uintptr_t, std::string> files;  // open handle -> path
  std::uintptr_t next_file = 0x100;
  std::vector<std::string> denied_folders;  // folded
  std::map<std::string, int> held;          // folded path -> opens refused
  std::map<void*, std::vector<std::string>> listings;
  std::uintptr_t next_listing = 0x10;
};

namespace {

using internal::KitMachine;

KitMachine& Kit() { return *internal::Current().kit; }

// The folder a path names its file in: "C:\" for a file in a root, "."
// for a bare name.
std::string ParentOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) {
    return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) + "." : ".";
  }
  if (slash == 2 && path[1] == ':') return path.substr(0, 3);
  return path.substr(0, slash);
}

std::string FoldedFolder(std::string folder) {
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) {
    folder.pop_back();
  }
  return internal::Fold(folder);
}

// Why a file cannot be opened for writing, or success.
platform::Status WriteOpenStatus(const std::string& path) {
  if (internal::InjectedFailure()) return kAccessDenied;
  const std::string parent = ParentOf(path);
  if (!HasFolder(parent)) return kPathNotFound;
  if (HasFolder(path)) return kAccessDenied;
  for (const std::string& denied : Kit().denied_folders) {
    if (FoldedFolder(parent) == denied) return kAccessDenied;
  }
  auto held = Kit().held.find(internal::Fold(path));
  if (held != Kit().held.end() && held->second > 0) {
    --held->second;
    return platform::kErrorSharingViolation;
  }
  if (HasFile(path) &&
      (FileAttributesOf(path) & platform::kFileAttributeReadOnly) != 0) {
    return kAccessDenied;
  }
  return platform::kSuccess;
}

platform::File NewFile(const std::string& path) {
  const std::uintptr_t id = Kit().next_file;
  Kit().next_file += 4;
  Kit().files[id] = path;
  return reinterpret_cast<platform::File>(id);
}

}  // namespace

namespace internal {

void ResetKit() { Current().kit = std::make_shared<KitMachine>(); }

void DenyFileCreate(const std::string& folder) {
  Kit().denied_folders.push_back(FoldedFolder(folder));
}

void HoldFile(const std::string& path, int opens) {
  Kit().held[Fold(path)] = opens;
}

int OpenFileCount() { return static_cast<int>(Kit().files.size()); }

}  // namespace internal

void SetComputerName(const std::optional<std::string>& name) {
  Kit().name = name;
}

void SetBuildNumber(unsigned long build) { Kit().build = build; }

void SetProgramFolder(const std::string& folder) { Kit().program_folder = folder; }

void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
  std::string key = name;
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  if (value) {
    Kit().environment[key] = *value;
  } else {
    Kit().environment.erase(key);
  }
}

void SetLocalTime(const platform::LocalTime& time) { Kit().time = time; }

std::string StandardOutputText() { return Kit().output; }

std::string StandardErrorText() { return Kit().error; }

}  // namespace memory

namespace platform {

using memory::Kit;

unsigned long ComputerName(char* buffer, unsigned long capacity) {
  if (!Kit().name.has_value()) return 0;
  const std::string& name = *Kit().name;
  if (name.size() + 1 > capacity) return 0;
  name.copy(buffer, name.size());
  buffer[name.size()] = 0;
  return static_cast<unsigned long>(name.size());
}

unsigned long BuildNumber() { return Kit().build; }

unsigned long ProgramFolder(char* buffer, unsigned long capacity) {
  const std::string& folder = Kit().program_folder;
  if (folder.size() + 1 > capacity) return 0;
  folder.copy(buffer, folder.size());
  buffer[folder.size()] = 0;
  return static_cast<unsigned long>(folder.size());
}

// Names compare without regard to case, as Windows' variables do.
unsigned long EnvironmentValue(const char* name, char* buffer, unsigned long capacity) {
  std::string key = name;
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  const auto found = Kit().environment.find(key);
  if (found == Kit().environment.end() || found->second.size() + 1 > capacity) return 0;
  found->second.copy(buffer, found->second.size());
  buffer[found->second.size()] = 0;
  return static_cast<unsigned long>(found->second.size());
}

void ReadLocalTime(LocalTime* time) { *time = Kit().time; }

Status CreateOutputFile(const char* path, File* file) {
  const std::string target = path != nullptr ? path : "";
  if (const Status status = memory::WriteOpenStatus(target)) return status;
  memory::PutFile(target, "");
  *file = memory::NewFile(target);
  return kSuccess;
}

Status OpenForAppend(const char* path, File* file) {
  const std::string target = path != nullptr ? path : "";
  if (const Status status = memory::WriteOpenStatus(target)) return status;
  if (!memory::HasFile(target)) memory::PutFile(target, "");
  *file = memory::NewFile(target);
  return kSuccess;
}

Status ReadWholeFile(const char* path, char* buffer, unsigned long capacity,
                     unsigned long* size) {
  if (memory::internal::InjectedFailure()) return memory::kAccessDenied;
  const std::string source = path != nullptr ? path : "";
  if (!memory::HasFile(source)) {
    if (memory::HasFolder(source)) return memory::kAccessDenied;
    return memory::HasFolder(memory::ParentOf(source)) ? memory::kFileNotFound
                                                       : memory::kPathNotFound;
  }
  auto held = Kit().held.find(memory::internal::Fold(source));
  if (held != Kit().held.end() && held->second > 0) {
    --held->second;
    return kErrorSharingViolation;
  }
  const std::string contents = memory::FileContents(source);
  if (contents.size() > capacity) return kErrorMoreData;
  contents.copy(buffer, contents.size());
  *size = static_cast<unsigned long>(contents.size());
  return kSuccess;
}

bool WriteBytes(File file, const void* data, unsigned long size) {
  const auto id = reinterpret_cast<std::uintptr_t>(file);
  const std::string bytes(static_cast<const char*>(data), size);
  if (id == memory::kStandardOutput) {
    Kit().output += bytes;
    return true;
  }
  if (id == memory::kStandardError) {
    Kit().error += bytes;
    return true;
  }
  auto it = Kit().files.find(id);
  if (it == Kit().files.end()) return false;
  if (memory::internal::InjectedFailure()) return false;  // a full disk
  const std::string& path = it->second;
  memory::PutFile(path, memory::FileContents(path) + bytes,
                  memory::FileAttributesOf(path));
  return true;
}

bool CloseFile(File file) {
  const auto id = reinterpret_cast<std::uintptr_t>(file);
  if (id == memory::kStandardOutput || id == memory::kStandardError) return true;
  return Kit().files.erase(id) == 1;
}

File StandardOutput() { return reinterpret_cast<File>(memory::kStandardOutput); }

File StandardError() { return reinterpret_cast<File>(memory::kStandardError); }

bool NextInFolder(const char* folder, FolderListing* listing, char* name,
                  unsigned long capacity) {
  auto& listings = Kit().listings;
  if (!listing->started) {
    listing->started = true;
    const std::string path = folder != nullptr ? folder : "";
    if (memory::internal::InjectedFailure() || !memory::HasFolder(path)) {
      return false;
    }
    std::vector<std::string> names;
    const bool root = path.size() <= 3 && path.size() >= 2 && path[1] == ':';
    if (!root) names = {".", ".."};  // as Windows lists any other folder
    // In name order, as NTFS lists a folder.
    std::vector<std::string> entries = memory::FilesIn(path);
    for (const std::string& sub : memory::FoldersIn(path)) entries.push_back(sub);
    std::sort(entries.begin(), entries.end(), [](const std::string& a, const std::string& b) {
      return memory::internal::Fold(a) < memory::internal::Fold(b);
    });
    names.insert(names.end(), entries.begin(), entries.end());
    void* handle = reinterpret_cast<void*>(Kit().next_listing);
    Kit().next_listing += 4;
    // Handed out from the back.
    listings[handle] = std::vector<std::string>(names.rbegin(), names.rend());
    listing->handle = handle;
  }
  auto it = listings.find(listing->handle);
  if (it == listings.end() || it->second.empty() ||
      it->second.back().size() + 1 > capacity) {
    EndListing(listing);
    return false;
  }
  const std::string next = it->second.back();
  it->second.pop_back();
  next.copy(name, next.size());
  name[next.size()] = 0;
  return true;
}

void EndListing(FolderListing* listing) {
  if (listing->handle != nullptr) Kit().listings.erase(listing->handle);
  listing->handle = nullptr;
}

}  // namespace platform
