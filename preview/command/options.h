// The preview's command-line options and what every command makes of them
// alike: the machine options, the code page, the setup a fleet shares, bad
// input as one message.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "preview/exports/code_page.h"
#include "preview/exports/export_reader.h"
#include "preview/fleet/fleet.h"

namespace CLI {
class App;
}

namespace preview {

struct PlanOptions {
  std::string windows;
  std::optional<std::string> tail;
  std::vector<std::string> tail_for;  // "FAMILY=TAIL"
  std::optional<std::string> command_line;
  std::optional<std::string> system_dir;
  std::string current_dir = "C:\\Pkg";
  std::optional<std::string> program;
  std::optional<std::string> package;
  std::optional<int> codepage;  // 1252, or the machine's own with --live
  std::optional<std::string> after;
  std::optional<std::string> changes;
  bool json = false;
  bool live = false;
  std::vector<std::string> reg_files;  // or one machine folder
  // fleet
  std::optional<std::string> html;
  std::optional<std::string> after_root;
  std::optional<unsigned> jobs;  // machines planned side by side; none: one per core
  // The rollout kit.
  std::optional<std::string> release;  // KITDIR to release into
  std::vector<std::string> release_machines;
  bool release_all = false;
  std::vector<std::string> withdraw;
  std::optional<std::string> kit;   // KITDIR to read the releases of
  std::optional<std::string> logs;  // the kit's log folder (DROP\log)
};

// Which command the options are for.
enum class Command { kPlan, kFleet, kVerify };

// The options of "plan" (the registry files excepted), or those of "fleet":
// the machine options, --windows optional, its own outputs. An output file
// named "-" is standard output.
void AddPlanOptions(CLI::App* command, PlanOptions* options, Command which);

struct KitOptions {
  std::string package, drop, folder;
  std::optional<std::string> helper;
  std::string program;  // how this program was started: KIT.EXE lies beside it
};
// Bad input: the message names the file and line where it can. A command
// says it on stderr and ends with exit code 2.
struct InputError {
  std::string message;
};

// The code page --codepage names, or fallback; throws InputError.
std::unique_ptr<CodePage> OpenCodePage(const PlanOptions& options, int fallback = 1252);

// The options that are text of the machine (its command line, paths as it
// sees them) in its ANSI code page. Arguments arrive in UTF-8 (a terminal's
// text, or Windows' UTF-16 arguments converted); one that is no UTF-8 is
// taken as the machine's bytes already.
PlanOptions InMachineText(PlanOptions options, const CodePage& code_page);

// What every machine of a fleet (or the one of plan and verify) shares;
// throws InputError.
FleetSetup SetupOf(const PlanOptions& options);

// A .reg file read for a plan; throws InputError.
Source Load(const std::string& path, const CodePage& code_page, Keep keep);

// "launcher-preview: warning: TEXT" on stderr, escaped.
void Warn(const std::string& text);
// Every tail given that matches no option: said once, before any machine.
void WarnUnmatchedTails(const PlanOptions& options, const Tails& tails);

}  // namespace preview
