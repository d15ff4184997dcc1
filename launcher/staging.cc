#include "launcher/staging.h"

#include "platform/platform.h"

namespace launcher {

namespace {

// Removed before the copy, so that no response file of an earlier run
// survives unless this run stages one.
const char* const kStagedNames[] = {
    "\\layout.bin", "\\data1.cab",  "\\data2.cab", "\\ikernel.ex_",
    "\\data1.hdr",  "\\setup.ini",  "\\setup.inx", "\\setup.exe",
    "\\setup.iss",  "\\CorvaneAdminConfig.dat",
};

}  // namespace

// "data3.cab" is a folder; its "setup.iss" is the setup program itself.
extern const PackageFile kPackageFiles[kPackageFileCount] = {
    {"layout.bin", "\\layout.bin"},
    {"data1.cab", "\\data1.cab"},
    {"data2.cab", "\\data2.cab"},
    {"ikernel.ex_", "\\ikernel.ex_"},
    {"data1.hdr", "\\data1.hdr"},
    {"setup.ini", "\\setup.ini"},
    {"setup.inx", "\\setup.inx"},
    {"CorvaneAdminConfig.dat", "\\CorvaneAdminConfig.dat"},
    {"data3.cab\\setup.iss", "\\setup.exe"},
};

namespace {

// An empty staging folder would turn every staged name into a path at the
// root of the current drive.
bool HasStagingFolder(const State& state) {
  return state.staging_folder[0] != 0;
}

void ClearReadOnly(const char* path) {
  const unsigned long attributes = platform::FileAttributes(path);
  if (attributes == platform::kInvalidFileAttributes) return;
  (void)platform::SetFileAttrs(
      path, attributes & ~platform::kFileAttributeReadOnly);
}

}  // namespace

void FindSourceFolder(State& state, const char* full_command_line) {
  platform::ZeroFill(state.source_folder, sizeof state.source_folder);
  platform::ZeroFill(state.separator, sizeof state.separator);
  state.source_unfit = false;
  if (full_command_line == nullptr) return;

  // The last backslash anywhere, arguments included.
  const char* last = platform::FindLast(full_command_line, '\\');
  if (last == nullptr) return;  // bare name: the current directory

  const unsigned long count =
      static_cast<unsigned long>(last - full_command_line);
  if (count >= kPathSize) {
    state.source_unfit = true;
    return;
  }
  platform::CopyN(state.source_folder, full_command_line, count + 1);
  // A quote anywhere in the folder text means the program path was quoted:
  // drop the opening quote.
  if (platform::FindLast(state.source_folder, '"') != nullptr) {
    platform::ZeroFill(state.source_folder, sizeof state.source_folder);
    platform::CopyN(state.source_folder, full_command_line + 1, count);
  }
  platform::CopyN(state.separator, "\\", sizeof state.separator);
}

void BuildStagingFolder(State& state) {
  // The target path is free until the first staged delete.
  platform::ZeroFill(state.target_path, sizeof state.target_path);
  if (platform::SystemDirectory(state.target_path, kPathSize) == 0 ||
      !platform::Compose(state.staging_folder, state.target_path,
                         kStagingFolderName)) {
    platform::ZeroFill(state.staging_folder, sizeof state.staging_folder);
  }
  platform::ZeroFill(state.target_path, sizeof state.target_path);
}

void StagedDelete(State& state, const char* staged_name) {
  if (HasStagingFolder(state) &&
      platform::Compose(state.target_path, state.staging_folder, staged_name)) {
    ClearReadOnly(state.target_path);
    (void)platform::RemoveFile(state.target_path);
  }
  platform::ZeroFill(state.target_path, sizeof state.target_path);
}

bool StagedCopy(State& state, const char* source_name,
                const char* staged_name) {
  bool copied = false;
  if (!state.source_unfit && HasStagingFolder(state) &&
      platform::Compose(state.source_path, state.source_folder,
                        state.separator, source_name) &&
      platform::Compose(state.target_path, state.staging_folder,
                        staged_name)) {
    copied = platform::CopyFileOver(state.source_path, state.target_path);
  }
  platform::ZeroFill(state.source_path, sizeof state.source_path);
  platform::ZeroFill(state.target_path, sizeof state.target_path);
  return copied;
}

void StagePackage(State& state) {
  BuildStagingFolder(state);
  if (HasStagingFolder(state)) {
    (void)platform::MakeFolder(state.staging_folder);  // may exist already
  }
  for (const char* name : kStagedNames) StagedDelete(state, name);
  for (const PackageFile& file : kPackageFiles) {
    (void)StagedCopy(state, file.source_name, file.staged_name);
  }
}

}  // namespace launcher
