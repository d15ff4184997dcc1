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
  std::optional<std::string> command_line;
  std::optional<std::string> system_dir;
  std::string current_dir = "C:\\Pkg";
  std::optional<std::string> package;
  int codepage = 1252;
  std::optional<std::string> after;
  std::optional<std::string> changes;
  bool json = false;
  std::vector<std::string> reg_files;
};

// The options of "plan" (the registry files excepted).
void AddPlanOptions(CLI::App* command, PlanOptions* options);

// Each returns the exit code: 0, or 2 after one message on stderr.
int RunPlan(const PlanOptions& options);
int RunTable(const std::string& format);

}  // namespace preview
