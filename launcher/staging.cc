#include "launcher/staging.h"

#include "platform/platform.h"

namespace launcher {

namespace {

// Each staged name once; the source name of a package file is the same
// text without its backslash. The program's source ends in the staged
// response file's name.
constexpr char kLayout[] = "\\layout.bin";
constexpr char kData1[] = "\\data1.cab";
constexpr char kData2[] = "\\data2.cab";
constexpr char kKernel[] = "\\ikernel.ex_";
constexpr char kHeader[] = "\\data1.hdr";
constexpr char kIni[] = "\\setup.ini";
constexpr char kInx[] = "\\setup.inx";
constexpr char kProgram[] = "\\setup.exe";
constexpr char kConfig[] = "\\CorvaneAdminConfig.dat";
constexpr char kProgramSource[] = "data3.cab\\setup.iss";
constexpr const char* kResponse = kProgramSource + 9;

constexpr bool SameText(const char* a, const char* b) {
  for (; *a == *b; ++a, ++b) {
    if (*a == 0) return true;
  }
  return false;
}
static_assert(SameText(kResponse, "\\setup.iss"), "the staged response file");

// Removed before the copy, so that no response file of an earlier run
// survives unless this run stages one.
const char* const kStagedNames[] = {
    kLayout, kData1, kData2,   kKernel,   kHeader,
    kIni,    kInx,   kProgram, kResponse, kConfig,
};

}  // namespace

// "data3.cab" is a folder; its "setup.iss" is the setup program itself.
extern const PackageFile kPackageFiles[kPackageFileCount] = {
    {kLayout + 1, kLayout}, {kData1 + 1, kData1},   {kData2 + 1, kData2},
    {kKernel + 1, kKernel}, {kHeader + 1, kHeader}, {kIni + 1, kIni},
    {kInx + 1, kInx},       {kConfig + 1, kConfig}, {kProgramSource, kProgram},
};

extern const char* const kStagedResponse = kResponse;

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
