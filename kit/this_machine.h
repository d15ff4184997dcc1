// What every command of the kit knows of the machine it runs on: its name,
// the kit it was started from (KIT.INI beside KIT.EXE: where the drop share
// is) and the release the administrator left there for it.
#pragma once

#include "kit/commands.h"
#include "kit/machine_name.h"
#include "kit/release_record.h"
#include "kit/workspace.h"

namespace kit {

enum class Record { kNone, kUnreadable, kValid };

struct ThisMachine {
  char kit_dir[kPathCapacity];
  // "" where it fails the name check: never a folder or file name then.
  char name[kMaxMachineName + 1];
  // As the computer gave it, for the log: up to 15 characters.
  char raw_name[kMaxMachineName + 1];
  char drop[kPathCapacity];  // from KIT.INI; "" where there is none
  Record record;
  Release release;
};

// kit_dir: the kit's folder, or nullptr for the one KIT.EXE lies in. name:
// the machine's name, or nullptr for its own: %COMPUTERNAME% on Windows NT,
// as the login script sees it, GetComputerNameA on 9x (which has no such
// variable).
void LoadThisMachine(const char* kit_dir, const char* name, Workspace& work,
                     ThisMachine* machine);

// DROP\<part>\<NAME>, or DROP\log\<NAME>.TXT; false where there is no drop
// share or no name, or the path does not fit.
[[nodiscard]] bool DropPath(const ThisMachine& machine, const char* part,
                            const char* suffix, char (&path)[kPathCapacity]);

// A path the kit may use in a batch file and on a share: printable ASCII
// without blanks or the characters a batch file takes for something else,
// a UNC path (\\SERVER\SHARE...) or a drive path (X:\...).
bool IsKitPath(const char* path);

}  // namespace kit
