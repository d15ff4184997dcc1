// A plan: the launcher's whole run, start to end of the wait, on an
// in-memory machine made from registry exports, and what it did there.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "launcher/dispatch.h"
#include "platform/memory_platform.h"
#include "preview/exports/code_page.h"
#include "preview/machine/changes.h"
#include "preview/machine/registry_image.h"

namespace preview {

struct Machine {
  unsigned long version_word = 0x0A280105;
  std::string command_line = "C:\\Pkg\\launcher.exe";
  std::string system_dir;   // empty: the version's default
  std::string current_dir = "C:\\Pkg";
  // The launcher's own path, when the command line does not start with it
  // (a program may start it with any command line at all).
  std::optional<std::string> program;
  // A folder of this machine standing for the package; none: every
  // package and response file is there.
  std::optional<std::string> package_dir;
  std::vector<Source> sources;  // merged in order
};

struct StagedFile {
  std::string name;    // in the staging folder
  std::string source;  // the package file it was copied from, if this run
};

struct Plan {
  // The in-memory machine the launcher ran on, left as the run left it. The
  // images below are in its storage form: what reads their names and data
  // does so with it current (UseMachineOf).
  std::shared_ptr<memory::Machine> machine;

  // The machine as the run saw it.
  unsigned long version_word = 0;
  std::string command_line;
  std::string system_dir;
  std::string package_folder;  // where the launcher lies, in the machine
  std::vector<std::string> package_present;  // package names found there
  bool all_present = true;  // no --package: every file counts as present

  // What the launcher saw and decided.
  launcher::Family family = launcher::Family::kOther;
  std::string tail;
  int option = launcher::kNoOption;
  std::string staging_folder;
  launcher::Response response = launcher::Response::kPlain;
  std::optional<bool> full_install;  // asked for update and uninstall only
  std::optional<std::string> response_file;  // source name staged or tried
  bool response_staged = false;
  std::optional<std::string> setup_command;  // the start attempted
  bool setup_started = false;
  bool silent = false;  // the start has the silent switch
  bool waits = false;
  bool fixes_adapters = false;  // the wait runs the write-block-size fix
  std::vector<std::string> adapters_tuned;  // subkey names, first poll
  std::vector<StagedFile> staged;           // after the run, sorted
  std::vector<std::string> missing;         // package files not copied

  // The registry.
  Image before;
  Image after;
  std::set<KeyId> listed;  // keys the files name
  std::vector<Change> changes;
  std::vector<memory::Event> journal;
};

// Empties the current in-memory machine and gives its registry the text
// storage of the family (UTF-16 on NT, the bytes given on 9x) and the code
// page's lead bytes, as a plan's machine has them.
void UseFamilyRegistry(launcher::Family family, const CodePage& code_page);

// Runs the launcher over a new in-memory machine made as described, which
// the plan keeps; the thread's current machine is left as it was. The code
// page must stay alive while the plan is used (its machine converts text
// through it).
Plan MakePlan(const Machine& machine, const CodePage& code_page);

// Makes the plan's machine current for as long as the result lives, so that
// the plan's images read in their own storage form.
memory::UseMachine UseMachineOf(const Plan& plan);

// The family's name in plans: "9x", "2000", "xp" or "other".
const char* FamilyName(launcher::Family family);
// "SI1", ..., "UPD", "UNI" or "plain".
const char* ResponseName(launcher::Response response);

}  // namespace preview
