// launcher-preview plan: one machine, from .reg files, a machine folder or
// (on Windows) the machine itself; the plan as text or JSON, and the
// after-state and changes as .reg files.
#include <filesystem>
#include <iostream>

#include "preview/command/commands.h"
#include "preview/command/output_files.h"
#include "preview/exports/paths.h"
#include "preview/fleet/fleet_folders.h"
#include "preview/machine/changes.h"
#include "preview/machine/live.h"
#include "preview/output/escape.h"
#include "preview/output/plan_output.h"

namespace preview {

namespace {

namespace fs = std::filesystem;

// The machine folder among the arguments, when they name one instead of
// .reg files.
std::optional<std::string> MachineFolderGiven(const PlanOptions& options) {
  std::optional<std::string> folder;
  for (const std::string& path : options.reg_files) {
    if (!fs::is_directory(PathOf(path))) continue;
    if (options.reg_files.size() > 1) {
      throw InputError{path + ": is a folder; give one machine folder, or .reg files"};
    }
    if (!IsMachineFolder(path)) {
      throw InputError{path + (HoldsMachineFolders(path)
                                   ? ": is a folder of machine folders; plan takes one "
                                     "machine folder (fleet takes them all)"
                                   : ": holds no ver.txt and no .reg file")};
    }
    folder = path;
  }
  if (options.live && !options.reg_files.empty()) {
    throw InputError{"--live reads this machine's registry: give no .reg files"};
  }
  return folder;
}

// The plan of .reg files given one by one, or of this machine (--live).
Plan PlanOfFiles(const PlanOptions& options, const FleetSetup& setup, const CodePage& code_page,
                 Keep keep, std::vector<Warning>* warnings) {
  Machine machine = setup.base;
  if (options.live) {
    const std::optional<std::string> failure = ReadLiveMachine(&machine);
    if (failure) throw InputError{"--live: " + *failure};
  } else if (setup.version) {
    machine.version_word = *setup.version;
  } else {
    throw InputError{"--windows is required with .reg files (or a machine folder with "
                     "ver.txt, or --live on Windows)"};
  }
  if (!setup.whole_command_line) {
    machine.command_line = CommandLineFor(
        setup.tails.For(launcher::ClassifyFamily(machine.version_word)), setup.program);
  }
  for (const std::string& path : options.reg_files) {
    machine.sources.push_back(Load(path, code_page, keep));
  }
  *warnings = OtherRootWarnings(machine.sources);
  return MakePlan(machine, code_page);
}

// The --after and --changes files.
std::vector<std::pair<std::string, std::string>> RegFiles(const PlanOptions& options,
                                                          const Plan& plan) {
  const memory::UseMachine use = UseMachineOf(plan);
  std::vector<std::pair<std::string, std::string>> files;
  if (options.after) {
    files.emplace_back(*options.after,
                       regfile::Write(regfile::Version::k4, regfile::Encoding::kBytes,
                                      StateItems(KeysToShow(plan.before, plan.after,
                                                            plan.listed))));
  }
  if (options.changes) {
    files.emplace_back(*options.changes,
                       regfile::Write(regfile::Version::k4, regfile::Encoding::kBytes,
                                      ChangeItems(plan.changes)));
  }
  return files;
}

std::string Report(const PlanOptions& options, const Plan& plan, const FleetRow& row,
                   const CodePage& code_page) {
  if (!options.json) return PlanText(plan, code_page);
  nlohmann::ordered_json json = PlanJson(plan, code_page);
  json["warnings"] = nlohmann::ordered_json::array();
  for (const Warning& w : row.warnings) {
    json["warnings"].push_back({{"kind", w.kind}, {"text", w.text}});
  }
  return DumpJson(json, 2) + "\n";
}

}  // namespace

int RunPlan(const PlanOptions& options) {
  try {
    const std::unique_ptr<CodePage> code_page =
        OpenCodePage(options, options.live ? LiveCodePage() : 1252);
    const bool file_to_stdout = OneToStdout({&options.after, &options.changes});
    const FleetSetup setup = SetupOf(InMachineText(options, *code_page));
    const std::optional<std::string> folder = MachineFolderGiven(options);
    // The after-state shows every key of the files; a plan alone needs
    // only the launcher's.
    const Keep keep = options.after ? Keep::kEveryKey : Keep::kLauncherKeys;
    Plan plan;
    std::vector<Warning> warnings;
    if (folder) {
      FolderPlan planned;
      FolderError folder_error;
      if (!PlanFolder(*folder, setup, *code_page, &planned, &folder_error, keep)) {
        throw InputError{folder_error.message};
      }
      plan = std::move(planned.plan);
      warnings = std::move(planned.warnings);
    } else {
      plan = PlanOfFiles(options, setup, *code_page, keep, &warnings);
    }
    const FleetRow row = RowOfPlan(plan, "", std::move(warnings), *code_page);
    const std::vector<std::pair<std::string, std::string>> files = RegFiles(options, plan);
    const std::string report = Report(options, plan, row, *code_page);
    WriteAll(files);
    for (const Warning& w : row.warnings) Warn(w.text);
    if (!file_to_stdout) std::cout << report;
    return 0;
  } catch (const InputError& error) {
    std::cerr << "launcher-preview: " << EscapeText(error.message) << "\n";
    return 2;
  }
}

}  // namespace preview
