#include <string>

#include "preview/exports/exports.h"
#include "preview/exports/reg_file.h"

namespace preview {

namespace {

// command.com of Windows 9x knows no %~1 or setlocal: plain %1, one folder
// name without blanks.
std::string Build() {
  std::string lines =
      "@echo off\n"
      "rem Collects what launcher-preview needs from this machine: the output\n"
      "rem of ver, one regedit export of each key the launcher reads, and the\n"
      "rem names in the launcher's staging folder, into the folder given (a name\n"
      "rem without blanks). It writes nothing else and changes nothing on the\n"
      "rem machine. Run it as the user who will run the launcher.\n"
      "if \"%1\"==\"\" goto usage\n"
      "if not exist %1\\nul mkdir %1\n"
      "if not exist %1\\nul goto nofolder\n"
      "rem Files of an earlier collection go first: a key that is gone since\n"
      "rem leaves no export, and must leave no stale one.\n";
  for (const ExportedKey& key : kExportedKeys) {
    lines += std::string("if exist %1\\") + key.file + " del %1\\" + key.file + "\n";
  }
  lines +=
      "if exist %1\\staged.txt del %1\\staged.txt\n"
      "ver > %1\\ver.txt\n";
  for (const ExportedKey& key : kExportedKeys) {
    lines += std::string("regedit /e %1\\") + key.file + " \"" + regfile::RootName(key.root) +
             "\\" + key.path + "\"\n";
  }
  // The staging folder is SYSTEM's on 9x, system32's on NT, where OS is
  // set; an empty staged.txt says the folder is absent.
  lines +=
      "if \"%OS%\"==\"Windows_NT\" goto stagent\n"
      "type nul > %1\\staged.txt\n"
      "if exist %windir%\\SYSTEM\\SilentSetup\\nul dir /b %windir%\\SYSTEM\\SilentSetup > "
      "%1\\staged.txt\n"
      "goto end\n"
      ":stagent\n"
      "type nul > %1\\staged.txt\n"
      "if exist %windir%\\system32\\SilentSetup\\nul dir /b %windir%\\system32\\SilentSetup > "
      "%1\\staged.txt\n"
      "goto end\n"
      ":usage\n"
      "echo usage: collect FOLDER\n"
      "goto end\n"
      ":nofolder\n"
      "echo collect: cannot make the folder %1\n"
      ":end\n";
  std::string script;
  for (char c : lines) {
    if (c == '\n') script += '\r';
    script += c;
  }
  return script;
}

}  // namespace

const char* CollectScript() {
  static const std::string script = Build();
  return script.c_str();
}

}  // namespace preview
