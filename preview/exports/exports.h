// The registry keys the launcher reads, as a machine's exports give them to
// the preview: the collection script writes one file each.
#pragma once

#include "platform/platform.h"

namespace preview {

struct ExportedKey {
  platform::Root root;
  const char* path;  // below the root
  const char* file;  // the export's file name, 8.3 for Windows 9x
};

constexpr ExportedKey kExportedKeys[] = {
    {platform::Root::kLocalMachine, "SOFTWARE\\Corvane", "corvane.reg"},
    {platform::Root::kLocalMachine, "Software\\VERDO Installer", "instmach.reg"},
    {platform::Root::kCurrentUser, "Software\\VERDO Installer", "instuser.reg"},
    {platform::Root::kLocalMachine,
     "SYSTEM\\CurrentControlSet\\Control\\Class\\"
     "{4D36E972-E325-11CE-BFC1-08002BE10318}",
     "adapters.reg"},
    {platform::Root::kLocalMachine, "Software\\setup install", "marker.reg"},
};

// The batch file that collects them (CR LF line ends): for Windows 95 to
// XP, given a folder name, it makes the folder and writes ver.txt and the
// exports there, and nothing else.
const char* CollectScript();

}  // namespace preview
