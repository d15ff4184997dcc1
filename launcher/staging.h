// Copies the package from the launcher's folder into the staging folder.
#pragma once

#include "launcher/state.h"

namespace launcher {

constexpr const char* kStagingFolderName = "\\SilentSetup";
// "\setup.iss": the name every response file is staged as.
extern const char* const kStagedResponse;

// A file of the package: its name in the source folder, and its name in the
// staging folder (with the leading backslash).
struct PackageFile {
  const char* source_name;
  const char* staged_name;
};
constexpr int kPackageFileCount = 9;
// In the order they are copied.
extern const PackageFile kPackageFiles[kPackageFileCount];

// Source folder and separator from the full command line: the text before
// its last backslash, without an opening quote. A folder that does not fit
// leaves both empty and marks the source unfit, so nothing is copied.
void FindSourceFolder(State& state, const char* full_command_line);
// Staging folder = system directory + "\SilentSetup".
void BuildStagingFolder(State& state);
// Clears read-only and deletes staging folder + staged_name. Skipped when
// there is no staging folder or the path does not fit.
void StagedDelete(State& state, const char* staged_name);
// Copies source folder + separator + source_name to staging folder +
// staged_name, overwriting. True when the copy succeeded; skipped when the
// source is unfit, there is no staging folder or a path does not fit.
bool StagedCopy(State& state, const char* source_name, const char* staged_name);
// Builds and creates the staging folder, deletes the ten staged names and
// copies the nine package files.
void StagePackage(State& state);

}  // namespace launcher
