#include <string>

#include "preview/exports.h"
#include "preview/reg_file.h"

namespace preview {

namespace {

// command.com of Windows 9x knows no %~1 or setlocal: plain %1, one folder
// name without blanks.
std::string Build() {
  std::string lines =
      "@echo off\n"
      "rem Collects what launcher-preview needs from this machine: the output\n"
      "rem of ver and one regedit export of each key the launcher reads, into\n"
      "rem the folder given (a name without blanks). It writes nothing else and\n"
      "rem changes nothing. Run it as the user who will run the launcher.\n"
      "if \"%1\"==\"\" goto usage\n"
      "if not exist %1\\nul mkdir %1\n"
      "if not exist %1\\nul goto nofolder\n"
      "ver > %1\\ver.txt\n";
  for (const ExportedKey& key : kExportedKeys) {
    lines += std::string("regedit /e %1\\") + key.file + " \"" + regfile::RootName(key.root) +
             "\\" + key.path + "\"\n";
  }
  lines +=
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
