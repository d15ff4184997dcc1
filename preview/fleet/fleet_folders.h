// How administrators lay out a fleet's folders: machine folders below
// parent folders (sites, then machines, to any depth), what names each
// machine, and where its folder collected after the rollout lies.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "preview/fleet/machine_folder.h"

namespace preview {

// A folder is a machine folder when it holds ver.txt, or .reg files and no
// machine folder below it. Any other folder with machine folders below it
// is a parent.
bool IsMachineFolder(const std::string& folder);
// Whether machine folders lie below the folder, at any depth.
bool HoldsMachineFolders(const std::string& folder);

// A folder the fleet plans: a machine folder, or one below a parent that
// holds no machine (its row says so), or a path given that is no folder.
struct FoundFolder {
  std::string path;
  // Its place below the folder given on the command line, "/" between
  // names; a folder given itself is placed by its own name.
  std::string below;
};

struct FleetFolders {
  std::vector<FoundFolder> folders;  // in the order given, each parent's in name order
  std::vector<Warning> warnings;     // .reg files beside machine folders
};

// The folders the command line names, each once: a machine folder stands
// for itself, a parent for every folder below it, machine or not.
FleetFolders FindMachines(const std::vector<std::string>& arguments);

// The machines' names: each folder's own name (its real name for "." and
// the like); where names clash (without regard to ASCII case), the parent
// folders' names before it, joined by "/", as far up as it takes.
std::vector<std::string> MachineNames(const std::vector<std::string>& folders);

// The folder collected after the rollout of a machine found at `below`
// and named `name`: in root's layout mirrored from the one given (site
// folders and all), or directly in root by the machine's name; names
// compared without regard to ASCII case. Where both exist and differ, the
// mirrored one, with a warning naming both.
struct AfterFolder {
  std::optional<std::string> path;
  std::optional<Warning> warning;
};
AfterFolder FindAfterFolder(const std::string& root, const std::string& below,
                            const std::string& name);

namespace warning {
constexpr const char* kStrayExports = ".reg files beside machine folders";
constexpr const char* kTwoAfterFolders = "two after folders";
}  // namespace warning

}  // namespace preview
