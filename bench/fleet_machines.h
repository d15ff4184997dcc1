// Generated machine folders, as the collection script fills them: ver.txt
// and version-5 exports in UTF-16, across Windows 98, Me, 2000, XP and a few
// others, with current and older client settings, install types, adapters,
// leftover marker keys, exports that draw warnings, and a few broken
// machines (ver.txt that names no version, none at all, a .reg file that
// does not read). The bench and the fleet page's tests share them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace fleet_machines {

struct Fleet {
  std::vector<std::string> folders;  // in name order
  size_t bytes = 0;                  // of all files written
};

// Writes count machine folders below parent (made when missing). Machine n
// depends on n and seed only, so a larger fleet holds a smaller one.
Fleet WriteFleet(const std::string& parent, int count, unsigned seed = 1);

}  // namespace fleet_machines
