// KIT collect: the registry exports and the staged list, as the preview
// reads a machine folder, written by the kit instead of regedit (which may
// show a message box for a key that does not exist).
#include "kit/commands.h"
#include "kit/regedit4.h"
#include "kit/writer.h"
#include "platform/kit_platform.h"
#include "preview/exports/exports.h"

namespace kit {

namespace {

constexpr const char* kStagedList = "staged.txt";

bool IsFolder(const char* path) {
  const unsigned long attributes = platform::FileAttributes(path);
  return attributes != platform::kInvalidFileAttributes &&
         (attributes & platform::kFileAttributeDirectory) != 0;
}

// The folder and every folder above it that is missing. A drive or a
// share's name cannot be made; its failure shows in the check after.
bool MakeFolders(const char* folder) {
  char path[kPathCapacity];
  if (!platform::Compose(path, folder)) return false;
  for (unsigned long i = 1; path[i] != 0; ++i) {
    if (path[i] != '\\' || path[i - 1] == ':' || path[i - 1] == '\\') continue;
    path[i] = 0;
    (void)platform::MakeFolder(path);
    path[i] = '\\';
  }
  (void)platform::MakeFolder(path);
  return IsFolder(path);
}

struct Collection {
  const char* folder;
  Workspace& work;
  bool failed;
};

// Reports the first failure only: one line on standard error.
void Failed(Collection& c, const char* a, const char* b = "",
            const char* c2 = "", const char* d = "") {
  if (!c.failed) (void)Fail(a, b, c2, d);
  c.failed = true;
}

bool FilePath(char (&path)[kPathCapacity], const char* folder, const char* file) {
  const unsigned long length = platform::Length(folder);
  const bool separator = length > 0 && folder[length - 1] == '\\';
  return platform::Compose(path, folder, separator ? "" : "\\", file);
}

// Deletes the file; true when it is gone afterwards.
bool Remove(const char* path) {
  (void)platform::RemoveFile(path);
  return platform::FileAttributes(path) == platform::kInvalidFileAttributes;
}

void CollectKey(Collection& c, const preview::ExportedKey& key) {
  char path[kPathCapacity];
  if (!FilePath(path, c.folder, key.file)) {
    return Failed(c, "collect: path too long: ", c.folder);
  }
  {
    platform::ScopedKey probe;
    if (platform::OpenKey(key.root, key.path, platform::kKeyRead,
                          probe.Receive()) == platform::kErrorFileNotFound) {
      return;  // no key, no file
    }
  }
  platform::File file = nullptr;
  if (platform::CreateOutputFile(path, &file) != platform::kSuccess) {
    return Failed(c, "collect: cannot write ", path);
  }
  Writer out = MakeWriter(file, c.work.output, kOutputCapacity);
  const char* problem = "";
  const ExportResult result = ExportKey(key.root, key.path, out, c.work, &problem);
  const bool written = Flush(out);
  const bool closed = platform::CloseFile(file);
  if (result == ExportResult::kWritten && written && closed) return;
  // No file rather than half of one.
  (void)Remove(path);
  if (result == ExportResult::kAbsent) return;
  if (result == ExportResult::kFailed) {
    return Failed(c, "collect: ", key.file, ": ", problem);
  }
  Failed(c, "collect: cannot write ", path);
}

void CollectStaged(Collection& c) {
  char path[kPathCapacity];
  if (!FilePath(path, c.folder, kStagedList)) {
    return Failed(c, "collect: path too long: ", c.folder);
  }
  platform::File file = nullptr;
  if (platform::CreateOutputFile(path, &file) != platform::kSuccess) {
    return Failed(c, "collect: cannot write ", path);
  }
  Writer out = MakeWriter(file, c.work.output, kOutputCapacity);
  char staging[kPathCapacity];
  platform::ZeroFill(staging, sizeof staging);
  if (platform::SystemDirectory(staging, sizeof staging) != 0 &&
      platform::Append(staging, sizeof staging, "\\SilentSetup") && IsFolder(staging)) {
    platform::FolderListing listing;
    char name[kPathCapacity];
    while (platform::NextInFolder(staging, &listing, name, sizeof name)) {
      if (platform::CompareNoCase(name, ".") == 0 ||
          platform::CompareNoCase(name, "..") == 0) {
        continue;
      }
      Put(out, name);
      Put(out, "\r\n");
    }
  }
  const bool written = Flush(out);
  if (!platform::CloseFile(file) || !written) {
    (void)Remove(path);
    Failed(c, "collect: cannot write ", path);
  }
}

}  // namespace

int CollectCommand(const char* folder, Workspace& work) {
  if (!MakeFolders(folder)) return Fail("collect: cannot make the folder ", folder);
  Collection c{folder, work, false};
  // Files of an earlier collection go first: a key that is gone since
  // leaves no export, and must leave no stale one.
  char path[kPathCapacity];
  for (const preview::ExportedKey& key : preview::kExportedKeys) {
    if (!FilePath(path, folder, key.file) || !Remove(path)) {
      return Fail("collect: cannot delete ", path);
    }
  }
  // ver.txt too: the script writes it once the collection is whole, so a
  // folder without it is no whole collection.
  const char* const also[] = {kStagedList, "ver.txt"};
  for (const char* file : also) {
    if (!FilePath(path, folder, file) || !Remove(path)) {
      return Fail("collect: cannot delete ", path);
    }
  }
  for (const preview::ExportedKey& key : preview::kExportedKeys) CollectKey(c, key);
  CollectStaged(c);
  return c.failed ? 1 : 0;
}

}  // namespace kit
