// Machine folders as the collection script fills them: ver.txt and one
// .reg export per key. What reads them, finds them below parent folders,
// names them in a fleet, and says what looks wrong in them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "preview/exports/export_reader.h"
#include "preview/machine/registry_image.h"

namespace preview {

// Something an administrator should look at; the run goes on.
struct Warning {
  std::string kind;  // one of the kinds below: counted and grouped by it
  std::string text;  // for people: names the machine's file where it has one
};

namespace warning {
constexpr const char* kNoOption = "tail matches no option";
constexpr const char* kInteractive = "interactive setup";
constexpr const char* kNoSetup = "no setup";
constexpr const char* kResponseMissing = "response file missing";
constexpr const char* kMarkerLeft = "marker key left";
constexpr const char* kForeignKeys = "export holds other keys";
constexpr const char* kSeveralExports = "several exports of one key";
constexpr const char* kNoAdapters = "no adapters export";
constexpr const char* kOtherRoots = "keys of other roots skipped";
}  // namespace warning

struct MachineFolder {
  std::string path;
  std::optional<unsigned long> version;  // from ver.txt, when read
  std::vector<Source> sources;           // its .reg files, in name order
  std::vector<Warning> warnings;         // of its exports
};

// Bad input of one machine: the message names the file (and line).
struct FolderError {
  std::string message;
  std::string kind;  // "folder", "ver.txt" or ".reg file"
};

// Whether a file's name ends in .reg, in any letter case.
bool IsRegFile(const std::string& name);

// The whole content of a file; false when it does not read.
bool ReadAll(const std::filesystem::path& path, std::string* content);

// Reads a machine folder. ver.txt is read when present; with need_version
// its absence or an unknown version is an error. False with the error.
// lead_bytes: those of the machine's code page (see regfile::Read); keep:
// which items of the .reg files are kept (see ReadSource).
bool ReadMachineFolder(const std::string& folder, bool need_version,
                       MachineFolder* machine, FolderError* error,
                       const regfile::LeadBytes& lead_bytes = {},
                       Keep keep = Keep::kLauncherKeys);

// One warning per file with keys of other roots skipped.
std::vector<Warning> OtherRootWarnings(const std::vector<Source>& sources);

// Warnings on what a machine's exports hold, once the family is known: keys
// of other roots, keys outside the key a file's name stands for, several
// files for one key, a 2000 or XP machine without the adapters' export.
std::vector<Warning> ExportWarnings(const std::vector<Source>& sources,
                                    bool nt_family);

}  // namespace preview
