// The rollout kit: a login script that, at each logon of a machine,
// collects it before the rollout, runs the launcher once with the tail the
// administrator released for it, and collects it again; with KIT.EXE, the
// program that does what the batch language of Windows 9x cannot.
#pragma once

#include <string>
#include <vector>

namespace preview {

// Where the package and the drop share lie as the machines see them.
struct KitPlaces {
  std::string package;  // holds launcher.exe and its package
  std::string drop;     // the share users may write: before\, after\, log\ below it
};

// The files of a kit, by name, with their bytes (CR LF line ends).
struct KitFile {
  std::string name;
  std::string bytes;
};

// Longest paths the kit is written for: what command.com reads in a line
// must hold the places once expanded.
constexpr size_t kMaxKitPath = 44;
// The longest path LOGON.BAT may be started by (%0).
constexpr size_t kMaxScriptPath = 40;

// Why the places cannot go into a kit, or "" when they can: each a UNC or
// drive path of printable ASCII without blanks or the characters batch
// files take for something else, at most kMaxKitPath characters.
std::string KitPlacesProblem(const KitPlaces& places);

// LOGON.BAT (the part for Windows 95, 98 and Me, in the batch language
// command.com reads, which cmd reads too), NT.CMD (the part for Windows NT,
// in cmd's), KIT.INI and README.TXT; not KIT.EXE and the release records.
std::vector<KitFile> KitScripts(const KitPlaces& places);

// Writes the kit into folder: the scripts, KIT.EXE copied from helper, and
// the folder REL for release records (records already there stay). Throws
// std::runtime_error with a message.
void WriteKit(const std::string& folder, const KitPlaces& places, const std::string& helper);

// The kit's places as KIT.INI gives them; false where the folder holds no
// kit.
bool ReadKitPlaces(const std::string& folder, KitPlaces* places);

}  // namespace preview
