// The preview's commands, behind its command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

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

// Each returns the exit code: 0, or 2 after one message on stderr.
int RunPlan(const PlanOptions& options);
int RunTable(const std::string& format);
// One CSV row (or JSON line) per machine folder, a summary on stderr; 1
// when any machine failed.
int RunFleet(const PlanOptions& options, const std::vector<std::string>& folders);
int RunCollectScript();

struct KitOptions {
  std::string package, drop, folder;
  std::optional<std::string> helper;
  std::string program;  // how this program was started: KIT.EXE lies beside it
};
// Writes the rollout kit; 0, or 2 with one message.
int RunRolloutKit(const KitOptions& options);
// Plans BEFORE and compares with AFTER (machine folders collected before and
// after the rollout): 0 for "as planned", 1 for any other verdict, 2 for
// bad input.
int RunVerify(const PlanOptions& options, const std::string& before, const std::string& after);

}  // namespace preview
